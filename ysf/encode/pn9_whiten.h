// SPDX-License-Identifier: MIT
#pragma once
// PN9 whitening of the System Fusion data channels and voice/data mode 2
// voice channel: the sequence of x^9 + x^5 + 1 from a 9-bit register
// starting at 1C9 hexadecimal, bit 0 of the register being the output.
// Its first 32 bits are the bytes 93 D7 51 21.

#include <cstdint>

namespace ysf_encode {

// Whitening bit i (i >= 0) of the sequence restarted at 1C9, 0 or 1.
int pn9_bit(int i);

// XORs the first n bits (n >= 0) of the packed buffer in (most significant
// bit first) with the whitening sequence, restarted for every call, into out.
// The (n + 7) / 8 output bytes are cleared first, so bits beyond n are 0. in
// and out may be the same buffer. Whitening twice restores the input.
void pn9_whiten(const uint8_t *in, uint8_t *out, int n);

}  // namespace ysf_encode
