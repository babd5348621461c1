// SPDX-License-Identifier: MIT
#pragma once
// Hamming (15,11,3) code of the rows of the BPTC (196,96) matrix.
//
// Codeword bits 14..4 are the 11 data bits, bits 3..0 the check bits.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 3.
inline constexpr uint32_t hamming_15_11_rows[4] = {0x7AC8, 0x3D64, 0x1EB2, 0x7591};

// The 15-bit codeword of the data (bits 10..0 of data; higher bits ignored).
uint16_t hamming_15_11_encode(uint16_t data);

}  // namespace dmr_encode
