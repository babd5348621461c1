// SPDX-License-Identifier: MIT
#pragma once
// Matched filter with fractional timing for four-level FSK at 10 samples per
// symbol: a root-raised-cosine pulse of roll-off 0.2 (the DMR and System
// Fusion transmit pulse, ETSI TS 102 361-1 clause 10.2) tabulated as a bank
// of polyphase filters, so that the filter output can be taken at any
// instant between two samples without filtering every sample.

#include <cstdint>

inline constexpr int32_t rrc_interpolator_phases = 64;  // fractional steps per sample
inline constexpr int32_t rrc_interpolator_taps = 80;    // +-4 symbols
inline constexpr int32_t rrc_interpolator_before = 39;  // taps at and before the instant's sample
inline constexpr double rrc_interpolator_roll_off = 0.2;
inline constexpr double rrc_interpolator_samples_per_symbol = 10.0;

// taps[p][i] weighs sample n - 39 + i for the instant n + p / 64. The pulse
// is scaled so that the taps of phase 0 add up to 1 (unit gain at DC).
struct rrc_interpolator {
    float taps[rrc_interpolator_phases + 1][rrc_interpolator_taps];
};

// The taps, computed once on first use.
const rrc_interpolator &rrc_interpolator_table();

// The filter output at the instant whose integer sample is the 40th entry of
// run (run[39]) plus fraction (0 <= fraction < 1): run holds the 80 samples
// from 39 before to 40 after that sample.
float rrc_interpolate(const float *run, double fraction);
