// SPDX-License-Identifier: MIT
#pragma once
// The input of zelvane, delivered as FM discriminator samples at the
// 48000 samples/s the demodulators read: an audio file through libsndfile
// (first channel, any rate), or raw discriminator audio or complex IQ from a
// file or a pipe, demodulated and resampled here.

#include <sndfile.h>

#include <string>
#include <vector>

#include "fm_discriminator.h"
#include "options.h"
#include "resampler.h"

inline constexpr double demod_rate = 48000.0;

struct sample_input {
    input_format format = input_format::file;
    SNDFILE *file = nullptr;  // libsndfile input
    int channels = 1;
    int fd = -1;  // raw input
    bool owns_fd = false;
    bool regular_file = false;    // read as fast as the chains take it; else as it comes
    double rate = 0;              // input frames per second
    long long total_frames = -1;  // when known (files), for the progress bar
    long long frames_read = 0;
    bool at_end = false;
    std::string partial;        // raw bytes short of a whole frame
    std::vector<float> frames;  // one block of input frames as floats (interleaved for IQ)
    stream_resampler resampler;
    fm_discriminator discriminator;
};

// Opens the input the options name. False with a one-line reason.
bool open_sample_input(const zelvane_options &options, sample_input &input, std::string &error);

// The descriptor to wait on before read_input_block (-1: always ready).
int input_wait_fd(const sample_input &input);

// Reads one block and appends the discriminator samples at 48000/s it gives
// to out. At the end of input appends the resampler's tail and sets at_end.
void read_input_block(sample_input &input, std::vector<float> &out);

void close_sample_input(sample_input &input);
