// SPDX-License-Identifier: MIT
#pragma once
// The rate 3/4 trellis code of DMR data (ETSI TS 102 361-1, Annex B): 144
// data bits as 48 tribits plus a closing tribit 0 enter an 8-state trellis
// encoder whose state is the previous tribit; each step sends one of 16
// constellation points as two dibits. The 98 dibits are interleaved over
// the 196 information bits of the burst.

#include <cstdint>

// The constellation point (0..15) sent for a tribit (0..7) from a state
// (the previous tribit, 0..7).
extern const uint8_t trellis_points[8][8];

// The two dibits (high, then low) of each constellation point.
extern const uint8_t trellis_point_dibits[16][2];

// Dibit k of the deinterleaved sequence travels as dibit
// trellis_interleave[k] of the burst.
extern const uint8_t trellis_interleave[98];

// Decodes the 196 information bits (25 bytes, most significant first) into
// 18 data bytes by the path of fewest bit differences (Viterbi, hard
// decisions). Returns the number of differing bits of that path, or -1 if
// its differences exceed max_errors (the block is then dropped).
int decode_trellis_3_4(const uint8_t in[25], uint8_t out[18], int max_errors = 12);
