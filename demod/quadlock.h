// SPDX-License-Identifier: MIT
#pragma once
// Four-level symbol demodulator with clock recovery: frequency-demodulated
// baseband of DMR or System Fusion (4800 symbols/s, 48000 samples/s) in,
// symbol bytes out, with the mapping of the slicer (+3 is 1, +1 is 0, -1 is
// 2, -3 is 3).
//
// - A root-raised-cosine matched filter (roll-off 0.2), evaluated at the
//   symbol instants only, through a polyphase bank with 1/64-sample steps.
// - Symbol clock: a Mueller and Mueller timing error detector on the
//   decided symbols, whose error is zero at the right instant for a Nyquist
//   pulse whatever the data, and a proportional-integral loop that holds a
//   symbol rate off by up to +-5000 ppm.
// - Acquisition: while the symbols fall far from the four levels (no
//   signal, or a transmission starting) the filter is also taken at five
//   candidate instants two samples apart, and the loop jumps to the one
//   whose values fall closest to the levels. A timing error detector alone
//   would take hundreds of symbols from a bad start at this small roll-off,
//   where the pulse carries little timing information between symbols.
//   Once locked the search stops and the loop narrows.
// - Levels: the DC offset and the outer level follow the decided symbols
//   (least mean squares over all four levels; quick while acquiring, and
//   for each candidate instant of its own), with the mean and variance of
//   the filter output as a fallback that catches a sudden change of level
//   within a few symbols.

#include <cstdint>

#include "sample_history.h"

inline constexpr int32_t quadlock_block_size = 256;  // samples per read
// Symbols one block can complete: a symbol step is at least 8 samples.
inline constexpr int32_t quadlock_max_symbols = 40;
inline constexpr int32_t quadlock_search_instants = 5;  // candidate instants of the acquisition, 2 samples apart

struct quadlock_loop {
    int64_t instant = 0;     // sample number of the next symbol instant
    double fraction = 0.0;   // and its fraction of a sample, 0 <= fraction < 1
    double rate_error = 0.0;  // samples per symbol beyond 10, from the integral path
    double previous_value = 0.0;   // filter output of the symbol before
    double previous_level = 0.0;   // its decision: +-1 or +-1/3
    double dc = 0.0;               // the DC offset
    double outer = 0.0;            // the +3 level above the DC offset
    double mean = 0.0, square = 0.0;  // running mean and mean square of the filter output
    double distance = 0.05;        // running mean square distance from the nearest level, over outer squared
    bool locked = false;
    int32_t symbols = 0;  // taken since the last reset, up to 1000
    // Acquisition: per candidate instant, its DC offset and outer level and
    // the running mean square distance of its values from the levels;
    // symbols since acquisition began, and symbols until the next jump may
    // come.
    double search_dc[quadlock_search_instants] = {};
    double search_outer[quadlock_search_instants] = {};
    double search_distance[quadlock_search_instants] = {0.05, 0.05, 0.05, 0.05, 0.05};
    int32_t acquiring_symbols = 0;
    int32_t search_hold = 0;
};

// The whole state of one run; zero at start (invert off).
struct quadlock_state {
    bool invert = false;  // negate the input (a receiver of the other polarity)
    sample_history samples;
    quadlock_loop loop;
};

// Appends count samples (0..quadlock_block_size) and takes every symbol
// whose filter span they complete. Writes the symbol bytes to symbols (room
// for quadlock_max_symbols) and returns how many.
int32_t quadlock_block(quadlock_state &state, const float *block, int32_t count, uint8_t *symbols);
