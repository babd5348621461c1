// SPDX-License-Identifier: MIT
#pragma once
// Hamming (16,11,4) code of the rows of the DMR embedded LC matrix.
//
// Codeword bits 15..5 are the 11 data bits, bits 4..0 the check bits.
// Minimum distance 4: one wrong bit is corrected, two are detected.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 4.
inline constexpr uint32_t hamming_16_11_rows[5] = {0xF590, 0x7AC8, 0x3D64, 0xEB22, 0xA6E1};

// The 16-bit codeword of the data (bits 10..0 of data; higher bits ignored).
uint16_t hamming_16_11_encode(uint16_t data);

}  // namespace dmr_encode
