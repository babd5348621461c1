// SPDX-License-Identifier: MIT
#pragma once
// Raw samples without a header from a file, standard input or a named pipe:
// FM discriminator audio (s16, f32) or complex IQ (cu8, cs16, cf32),
// native-endian, at a rate the user gives.

#include <memory>
#include <string>

#include "source.h"

enum class raw_format { s16, f32, cu8, cs16, cf32 };

// Bytes of one frame (a sample, or an I/Q pair).
size_t raw_frame_bytes(raw_format format);
bool raw_is_complex(raw_format format);

// Converts whole frames of raw bytes to floats appended to out (IQ
// interleaved): 16-bit by 1/32768, cu8 as (v - 127.5) / 127.5; a float that
// is not finite becomes 0.
void convert_raw(raw_format format, const unsigned char *bytes, size_t frames, std::vector<float> &out);

// Opens path ("-" for standard input; a named pipe waits for its writer).
// Null with a one-line reason.
std::unique_ptr<sample_source> open_raw_source(const std::string &path, raw_format format, double rate,
                                               std::string &error);
