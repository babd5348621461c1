// SPDX-License-Identifier: MIT
#pragma once
// Hard-decision Viterbi decoder of the System Fusion rate 1/2, constraint
// length 5 convolutional code (generators G1 = 1 + D^3 + D^4 and
// G2 = 1 + D + D^2 + D^4), used by the FICH and the data channels.
//
// Each input bit b gives one dibit: the G1 output as its high bit, the G2
// output as its low bit. The encoder state holds the last four input bits,
// the most recent in bit 3; from state p, input b leads to state
// (p >> 1) | (b << 3).

#include <cstdint>

// Most received dibits one call takes.
inline constexpr int viterbi_k5_max_dibits = 255;

// The dibit (0..3) the encoder sends for input bit b (0 or 1) in state p
// (0..15): high bit b ^ p1 ^ p0, low bit b ^ p3 ^ p2 ^ p0.
constexpr uint8_t viterbi_k5_expected_dibit(int p, int b) {
    int high = (b ^ (p >> 1) ^ p) & 1;
    int low = (b ^ (p >> 3) ^ (p >> 2) ^ p) & 1;
    return static_cast<uint8_t>((high << 1) | low);
}

// Decodes n received dibits (1..255), packed four to a byte with the first
// dibit in the top two bits, into n bits written to output, packed most
// significant first into (n + 7) / 8 bytes (bits past n are 0).
//
// All 16 states start with metric 0 (no known start state); at each step a
// state keeps its lower predecessor unless the higher one is strictly
// better. The FICH and the data channels end with four zero tail bits, so
// the encoder always ends in state 0: the output is the survivor of state
// 0, whatever another state's metric. That lets the tail outvote errors in
// the last dibits, which a free end state leaves uncorrected. Path metrics
// are kept wide enough never to wrap (up to 2 * 255). Returns the metric of
// the decoded path (the number of received bits that differ from its
// dibits). n outside 1..255 decodes nothing and returns 0.
int viterbi_k5_decode(const uint8_t *symbols, int n, uint8_t *output);
