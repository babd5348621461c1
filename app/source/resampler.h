// SPDX-License-Identifier: MIT
#pragma once
// Streaming sample-rate conversion through libsoxr, for interleaved float
// frames of one or two channels (a discriminator signal, or I and Q).

#include <soxr.h>

#include <string>
#include <vector>

struct stream_resampler {
    soxr_t soxr = nullptr;  // null: the rates are equal and samples pass unchanged
    unsigned channels = 1;
    double ratio = 1.0;  // output rate over input rate
};

// Prepares conversion from in_rate to out_rate; false with a reason if
// libsoxr refuses.
bool resampler_open(stream_resampler &r, double in_rate, double out_rate, unsigned channels, std::string &error);

// Converts frames interleaved frames of input, appending what is ready to out.
void resampler_process(stream_resampler &r, const float *input, size_t frames, std::vector<float> &out);

// Appends the converter's last samples, at the end of input.
void resampler_flush(stream_resampler &r, std::vector<float> &out);

void resampler_close(stream_resampler &r);
