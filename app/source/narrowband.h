// SPDX-License-Identifier: MIT
#pragma once
// One narrowband channel from a source: discriminator audio resampled to the
// 48000 samples/s the demodulators read, or IQ brought to 48000 pairs/s
// (the resampler's low-pass is the channel filter) and FM-demodulated there.

#include <string>
#include <vector>

#include "fm_discriminator.h"
#include "resampler.h"
#include "source.h"

inline constexpr double demod_rate = 48000.0;

struct narrowband_input {
    bool complex = false;
    stream_resampler resampler;
    fm_discriminator discriminator;
    std::vector<float> resampled;
};

bool narrowband_open(narrowband_input &n, const source_info &info, std::string &error);
// Appends the discriminator samples at 48000/s that frames (count frames of
// the source) give.
void narrowband_convert(narrowband_input &n, const float *frames, size_t count, std::vector<float> &out);
// The resampler's last samples, at the end of input.
void narrowband_flush(narrowband_input &n, std::vector<float> &out);
void narrowband_close(narrowband_input &n);
