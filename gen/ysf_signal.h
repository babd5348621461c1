// SPDX-License-Identifier: MIT
#pragma once
// The symbol stream of one System Fusion transmission, built from the
// fixture encoders, with an idle lead-in and tail.

#include <cstdint>
#include <vector>

#include "ysf_encode.h"

// Symbols of pseudo-random idle signal before the header (100 ms) and after
// the terminator (50 ms, less than a frame, so that a receiver following
// the transmission handles no further frame).
inline constexpr int ysf_lead_symbols = 480;
inline constexpr int ysf_tail_symbols = 240;

// The lead-in, the transmission's frames and the tail, in order; false (and
// nothing written) if the encoder refuses the plan. In voice full-rate the
// unused blocks 0 to 2 of the first frame after the header carry idle
// symbols rather than zeros. built, if given, receives the encoder's
// transmission (voice records included).
bool ysf_stream_symbols(const ysf_encode::transmission_plan &plan, std::vector<uint8_t> &symbols,
                        ysf_encode::transmission *built = nullptr);
