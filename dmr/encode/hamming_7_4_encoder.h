// SPDX-License-Identifier: MIT
#pragma once
// Hamming (7,4) code of the TACT in the DMR CACH.
//
// Codeword bits 6..3 are the data bits (AT, TC, LCSS high, LCSS low), bits
// 2..0 the check bits: bit 2 = AT ^ TC ^ LCSS high, bit 1 = TC ^ LCSS high ^
// LCSS low, bit 0 = AT ^ TC ^ LCSS low. Perfect code, minimum distance 3.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 2.
inline constexpr uint32_t hamming_7_4_rows[3] = {0x74, 0x3A, 0x69};

// The 7-bit codeword of the data (bits 3..0 of data; higher bits ignored).
uint8_t hamming_7_4_encode(uint8_t data);

}  // namespace dmr_encode
