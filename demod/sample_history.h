// SPDX-License-Identifier: MIT
#pragma once
// The recent input samples of a clock-recovering demodulator, addressed by
// absolute sample number. Every sample is stored twice, half a ring apart,
// so that any run of up to sample_history_length consecutive samples can be
// read as one contiguous array by a filter.

#include <cmath>
#include <cstdint>

inline constexpr int32_t sample_history_length = 1024;  // power of two

struct sample_history {
    float entries[2 * sample_history_length] = {};  // zero: the samples before the first one
    int64_t received = 0;                           // samples stored so far; the next one gets this number
};

// A received sample made safe for the loops: NaN and infinities become 0 and
// finite values are limited to +-1e6, so that no sum of a filter overflows.
inline float clean_sample(float x) {
    if (!std::isfinite(x)) return 0.0f;
    if (x > 1e6f) return 1e6f;
    if (x < -1e6f) return -1e6f;
    return x;
}

// Stores one sample (cleaned, and negated if invert is set).
inline void history_push(sample_history &h, float x, bool invert) {
    const float v = invert ? -clean_sample(x) : clean_sample(x);
    const int32_t at = static_cast<int32_t>(h.received & (sample_history_length - 1));
    h.entries[at] = v;
    h.entries[at + sample_history_length] = v;
    ++h.received;
}

// The samples first, first + 1, ... (at most sample_history_length of them,
// all received within the last sample_history_length samples) as one array.
inline const float *history_run(const sample_history &h, int64_t first) {
    return h.entries + (first & (sample_history_length - 1));
}
