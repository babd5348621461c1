// SPDX-License-Identifier: MIT
#pragma once
// Quadratic residue (16,7) code of the DMR EMB (ETSI TS 102 361-1).
//
// Codeword bits 15..9 are the 7 data bits, bits 8..0 the check bits.
// Minimum distance 6: a decoder corrects up to two wrong bits.

#include <cstdint>

namespace dmr_encode {

// Parity-check rows, first row giving check bit 8.
inline constexpr uint32_t qr_16_7_rows[9] = {0x7900, 0x3C80, 0x9E40, 0x3620, 0x6210, 0xC808, 0xE404, 0xF202, 0xAE01};

// The 16-bit codeword of the data (bits 6..0 of data; higher bits ignored).
uint16_t qr_16_7_encode(uint8_t data);

}  // namespace dmr_encode
