// SPDX-License-Identifier: MIT
#pragma once
// Two-level bit demodulator with clock recovery: frequency-demodulated
// baseband of POCSAG (512, 1200 or 2400 bits/s, 48000 samples/s) in, bit
// bytes out, with the decision of the slicer (1 above the centre, 0 below,
// the other way round with invert).
//
// - Each bit is the mean of the samples over one bit period centred on its
//   instant (integrate and dump, the matched filter of NRZ), with the
//   samples at the window's edges weighted by the part of them inside, so
//   that 93.75 samples per bit (512 bits/s) need no rounding.
// - Bit clock: a Gardner timing error detector (the mean over the period
//   centred on the boundary before the bit, which is the centre level when
//   the instant is right) and a proportional-integral loop that holds a bit
//   rate off by up to +-5000 ppm; wide while the bits fall far from the two
//   levels, narrow once they fall close.
// - Levels: the mean of the bits decided 1 and of those decided 0, whose
//   midpoint is the decision threshold, with the mean and spread of all
//   bit values (POCSAG's preamble and codewords are near balanced) as a
//   fallback that catches a sudden change of level, and as the levels
//   while no signal has been seen.
// Clipped square NRZ and band-limited NRZ are both taken: the window
// averages whatever shape the bit has.

#include <cstdint>

#include "sample_history.h"

inline constexpr int32_t duolock_block_size = 256;  // samples per read
// Bits one block can complete: a bit step is at least 15 samples (2400
// bits/s).
inline constexpr int32_t duolock_max_bits = 24;

struct duolock_loop {
    int64_t instant = 0;      // sample number of the next bit centre
    double fraction = 0.0;    // and its fraction of a sample, 0 <= fraction < 1
    double rate_error = 0.0;  // samples per bit beyond the nominal period
    double previous_value = 0.0;
    double high = 0.0, low = 0.0;  // mean of the values above and below the centre
    double mean = 0.0, square = 0.0;  // running mean and mean square of all values
    double distance = 1.0;         // running mean square distance from the nearer level, over the half span squared
    bool locked = false;
    int32_t bits = 0;  // taken since the last reset, up to 1000
};

// The whole state of one run; zero at start (invert off, 1200 bits/s) apart
// from period, which duolock_set_rate sets.
struct duolock_state {
    bool invert = false;    // every output bit inverted
    double period = 40.0;   // nominal samples per bit: 48000 / rate
    sample_history samples;
    duolock_loop loop;
};

// Sets the bit rate; false (and nothing changed) unless it is 512, 1200 or
// 2400.
bool duolock_set_rate(duolock_state &state, int rate);

// Appends count samples (0..duolock_block_size) and takes every bit whose
// windows they complete. Writes the bit bytes to bits (room for
// duolock_max_bits) and returns how many.
int32_t duolock_block(duolock_state &state, const float *block, int32_t count, uint8_t *bits);
