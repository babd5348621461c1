// SPDX-License-Identifier: MIT
#pragma once
// Extended Golay (24,12) encoder of the System Fusion FICH: the cyclic
// (23,12) Golay code of generator polynomial x^11 + x^10 + x^6 + x^5 + x^4 +
// x^2 + 1 (C75 hexadecimal), extended by an overall even parity bit.

#include <cstdint>

namespace ysf_encode {

// The 24-bit codeword of 12 data bits (the low 12 bits of data; higher bits
// are ignored): the data in bits 23..12, the 11 cyclic check bits in bits
// 11..1 and the overall parity in bit 0.
uint32_t golay_24_12_encode(uint32_t data);

}  // namespace ysf_encode
