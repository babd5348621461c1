// SPDX-License-Identifier: MIT
#pragma once
// Four-level symbol demodulator: slices frequency-demodulated baseband of a
// four-level FSK signal at 10 samples per symbol into symbol bytes (the dibit
// of each symbol: +3 is 1, +1 is 0, -1 is 2, -3 is 3). It recovers the symbol
// timing from the per-position variance of the samples and adapts its three
// decision thresholds to the extremes of the last 100 symbol values.

#include <cstdint>

#include "level_tracker.h"
#include "symbol_ring.h"

inline constexpr int32_t quadslice_block_size = 256;    // samples per read
inline constexpr int32_t quadslice_window_length = 10;  // samples per symbol
inline constexpr int32_t quadslice_min_fill = 12;       // a symbol is taken while this many samples wait
// Symbols one block can complete: at most 11 + 256 samples wait when the
// symbol loop starts, each symbol takes 10, a block holds at most one timing
// move.
inline constexpr int32_t quadslice_max_symbols = 26;

// The whole state of one run; zero at start, never reset.
struct quadslice_state {
    symbol_ring<float, 1024> samples;
    // Raw windows of the last 100 symbols, 10 entries each.
    float phase_buffer[quadslice_window_length * 100] = {};
    int32_t phase_pos = 0;  // 0, 10, ..., 990: where the next window goes
    level_history history;
    level_thresholds thresholds;
};

// The symbol byte of value v: 1 above the upper threshold, 0 above the centre,
// 3 below the lower threshold, else 2 (also for a NaN value or thresholds).
uint8_t slice_symbol(float v, const level_thresholds &thresholds);

// Appends count samples (0..quadslice_block_size) to the sample ring and
// takes symbols while at least 12 samples wait. Writes the symbol bytes to
// symbols (room for quadslice_max_symbols) and returns how many.
int32_t quadslice_block(quadslice_state &state, const float *block, int32_t count, uint8_t *symbols);
