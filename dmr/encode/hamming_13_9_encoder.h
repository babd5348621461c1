// SPDX-License-Identifier: MIT
#pragma once
// Hamming (13,9,3) code of the columns of the BPTC (196,96) matrix.
//
// Codeword bits 12..4 are the 9 data bits, bits 3..0 the check bits.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 3.
inline constexpr uint32_t hamming_13_9_rows[4] = {0x1AC8, 0x1D64, 0x1EB2, 0x1591};

// The 13-bit codeword of the data (bits 8..0 of data; higher bits ignored).
uint16_t hamming_13_9_encode(uint16_t data);

}  // namespace dmr_encode
