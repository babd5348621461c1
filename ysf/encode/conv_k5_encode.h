// SPDX-License-Identifier: MIT
#pragma once
// Rate 1/2, constraint length 5 convolutional encoder of the System Fusion
// FICH and data channels: generators G1 = 1 + D^3 + D^4 and G2 = 1 + D + D^2
// + D^4. Each input bit gives one dibit, the G1 output as its high bit and
// the G2 output as its low bit.

#include <cstdint>

namespace ysf_encode {

// Number of zero tail bits appended after the data to flush the register.
inline constexpr int conv_k5_tail_bits = 4;

// The dibit (0..3) produced by input bit b (0 or 1) from register state p
// (0..15: the last four input bits, the most recent in bit 3, the oldest in
// bit 0). The next state is (p >> 1) | (b << 3).
uint8_t conv_k5_output(int state, int bit);

// Encodes n bits (n >= 0) of a packed buffer (most significant bit first),
// starting from the all-zero register, followed by conv_k5_tail_bits zero
// tail bits. Writes n + conv_k5_tail_bits symbol bytes (0..3), one dibit per
// input bit, in transmission order. The receiver's Viterbi decoder takes at
// most 255 dibits, that is n up to 251.
void conv_k5_encode(const uint8_t *bits, int n, uint8_t *dibits);

}  // namespace ysf_encode
