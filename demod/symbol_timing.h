// SPDX-License-Identifier: MIT
#pragma once
// Symbol timing recovery of the demodulators. The raw window samples of the
// last 100 symbols are kept side by side; the window position whose samples
// vary least is where one symbol gives way to the next. The read position is
// steered one sample at a time until that change lies on a window edge, so
// that the samples which form a symbol's value lie within one symbol.

#include <cstdint>

inline constexpr int32_t timing_window_count = 100;

// Smallest variance that still counts as a signal (a constant input has none)
// and the largest that counts as one rather than noise or overload.
inline constexpr double timing_variance_limit = 5000000.0;

// The longest window: 40 samples per bit.
inline constexpr int32_t timing_max_window_length = 40;

// The variance of every window position j (0..window_length-1) over the
// stored windows, that is of entries j, j + window_length, ...,
// j + 99 * window_length of phase_buffer, into variances[j]. The mean is
// summed in window order and divided in single precision, the squared
// deviations summed in window order and divided in double precision.
void timing_variances(const float *phase_buffer, int32_t window_length, double *variances);

// The move of the next read position after the 100th window: +1 (skip one
// sample) when the position of smallest variance is 1..4, -1 (take one sample
// again) when it is 5..8, 0 otherwise, or when that variance is 0 or above
// timing_variance_limit. Positions are examined from 0 upward and only a
// strictly smaller variance replaces the best, so a tie goes to the lower
// position; a position whose variance is NaN (a NaN or infinite sample among
// its entries) is passed over. phase_buffer holds 100 * window_length
// samples, window_length at most timing_max_window_length.
int32_t timing_correction(const float *phase_buffer, int32_t window_length);
