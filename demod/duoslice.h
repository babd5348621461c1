// SPDX-License-Identifier: MIT
#pragma once
// Two-level bit demodulator: slices frequency-demodulated baseband of a
// two-level FSK signal at 40 samples per bit into bit bytes (0 or 1), with the
// timing recovery and level tracking of the four-level slicer and the centre
// of the last 100 bit values as the one decision threshold.

#include <cstdint>

#include "level_tracker.h"
#include "symbol_ring.h"

inline constexpr int32_t duoslice_block_size = 256;    // samples per read
inline constexpr int32_t duoslice_window_length = 40;  // samples per bit
inline constexpr int32_t duoslice_min_fill = 42;       // a bit is taken while this many samples wait
// Bits one block can complete: at most 41 + 256 samples wait when the bit
// loop starts, each bit takes 40 (39 at most once per block).
inline constexpr int32_t duoslice_max_bits = 7;

// The whole state of one run; zero at start (invert off), never reset.
struct duoslice_state {
    bool invert = false;  // every output bit inverted
    symbol_ring<float, 1024> samples;
    // Raw windows of the last 100 bits, 40 entries each.
    float phase_buffer[duoslice_window_length * 100] = {};
    int32_t phase_pos = 0;  // 0, 40, ..., 3960: where the next window goes
    level_history history;
    level_thresholds thresholds;
};

// Appends count samples (0..duoslice_block_size) to the sample ring and takes
// bits while at least 42 samples wait. Writes the bit bytes to bits (room for
// duoslice_max_bits) and returns how many.
int32_t duoslice_block(duoslice_state &state, const float *block, int32_t count, uint8_t *bits);
