// SPDX-License-Identifier: MIT
#pragma once
// Golay (20,8) code of the DMR slot type (ETSI TS 102 361-1).
//
// Codeword bits 19..12 are the 8 data bits, bits 11..0 the check bits.
// Minimum distance 8: a decoder corrects up to three wrong bits and sees four.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 11.
inline constexpr uint32_t golay_20_8_rows[12] = {0x4F800, 0x68400, 0xB4200, 0xDA100, 0xED080, 0xB9040,
                                                 0x13020, 0xC6010, 0xE3008, 0x3E004, 0x9F002, 0x75001};

// The 20-bit codeword (bits 19..0) of the 8 data bits.
uint32_t golay_20_8_encode(uint8_t data);

}  // namespace dmr_encode
