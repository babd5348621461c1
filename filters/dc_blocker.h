// SPDX-License-Identifier: MIT
#pragma once
// DC blocker: a first-order high-pass with one zero at DC and one pole at
// 0.995, H(z) = 0.9975 (1 - z^-1) / (1 - 0.995 z^-1). Gain 0 at DC and exactly
// 1 at half the sample rate; 3 dB down at 0.000798 of the sample rate (about
// 38 Hz at 48000 samples/s). Removes a receiver's DC offset and slow drift.

#include <cstddef>

// Forward gain (1 + 0.995) / 2 and feedback coefficient, both single precision.
inline constexpr float dc_blocker_gain = 0.9975f;
inline constexpr float dc_blocker_pole = 0.995f;

// Filter state, carried from block to block for the whole run; zero at start.
struct dc_blocker_state {
    float previous_input = 0.0f;   // the last input sample seen
    float previous_output = 0.0f;  // the last output sample produced
};

// Filters count samples in place, in order. Each output is
// (x - previous input) * 0.9975 + previous output * 0.995 with the difference,
// both products and the sum each rounded to a 32-bit float. A NaN or infinite
// input sample is taken as 0; an output that overflows is 0 and the filter
// goes on from there, so one glitch never silences the rest of the stream.
void dc_blocker_filter(dc_blocker_state &state, float *block, std::size_t count);
