// SPDX-License-Identifier: MIT
#pragma once
// Root-raised-cosine pulse filter: an 81-tap symmetric FIR filter with fixed
// taps, linear phase and a delay of 40 samples. Each output is
//
//   sum = 0; for k = 0..80: sum = c[k] * h[k] + sum      (single precision)
//   y = sum / 8.366778117                                (double, rounded to float)
//
// where h[80] is the newest input sample and h[0] the one 80 samples older
// (0.0 before the first input). The sum runs in exactly this order for every
// output; independent outputs are computed side by side, which leaves each one
// bit for bit as the plain loop gives it.

#include <array>
#include <cstddef>

inline constexpr int rrc_tap_count = 81;

// The taps c[0] to c[80], symmetric (c[k] == c[80 - k]); c[0] meets the oldest
// sample.
extern const std::array<float, rrc_tap_count> rrc_taps;

// Divides the tap sum out of every output so that the gain at DC is 1 (the
// exact sum of the taps is 8.3667781834).
inline constexpr double rrc_normaliser = 8.366778117;

// Outputs formed side by side per pass over the taps, and inputs per pass over
// a block.
inline constexpr std::size_t rrc_lane_group = 32;
inline constexpr std::size_t rrc_chunk = 256;

// Filter state, carried from block to block for the whole run; zero at start.
// Between calls line[0..79] holds the 80 latest input samples, oldest first
// (with the sample being filtered they make the 81-sample history). The rest
// of line is working space for the chunk being filtered, so that filtering
// allocates nothing.
struct rrc_state {
    alignas(32) float line[rrc_tap_count - 1 + rrc_chunk] = {};
};

// Filters count samples in place, in order; any count (blocks of any size give
// the same output as the whole input in one piece). A NaN or infinite input
// spoils the 81 outputs whose sums include it and then leaves the history.
void rrc_filter(rrc_state &state, float *block, std::size_t count);

// Vector widths of the side-by-side sums: narrow (4 lanes, every processor)
// and wide (8 lanes, x86-64 processors with AVX). Both give the same output
// bit for bit; rrc_filter takes the wide lanes where the processor has them.
enum class rrc_lanes { narrow, wide };

// Whether this processor can run the wide lanes.
bool rrc_wide_lanes_available();

// rrc_filter with a chosen vector width; wide falls back to narrow where the
// processor lacks it.
void rrc_filter_with(rrc_state &state, float *block, std::size_t count, rrc_lanes lanes);
