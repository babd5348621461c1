// SPDX-License-Identifier: MIT
#pragma once
// The System Fusion whitening sequence: a 9-bit shift register s starting at
// 0x1C9; each step outputs s0 and then s becomes (s >> 1) | ((s0 ^ s4) << 8),
// the sequence of x^9 + x^5 + 1. Its first 32 bits are 93 D7 51 21.

#include <cstdint>

inline constexpr uint16_t pn9_start_state = 0x1c9;

// Output bit i = input bit i XOR whitening bit i, for i from 0 to n - 1, the
// register restarted for every call. Bits are packed most significant first;
// the (n + 7) / 8 output bytes are cleared first, so bits past n are 0.
// Applied twice it restores its input. input and output may be the same
// buffer.
void pn9_descramble(const uint8_t *input, uint8_t *output, int n);
