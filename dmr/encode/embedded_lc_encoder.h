// SPDX-License-Identifier: MIT
#pragma once
// Embedded link control of DMR voice superframes (ETSI TS 102 361-1): the 72
// full LC bits with their 5-bit checksum in a BPTC (128,72) block, sent as four
// 32-bit fragments in the centre fields of voice bursts B to E.
//
// Block: 128 bits, 8 rows (0..7) by 16 columns (0..15), stored column by
// column: block bit 8c + r (bit n in byte n / 8 at bit 7 - n % 8) is row r,
// column c, so byte c is column c with row 0 in its most significant bit. A
// row word has column 0 as bit 15. Rows 0..6 are Hamming (16,11,4)
// codewords; row 7 is the XOR of rows 0..6 (column parity).
//
// LC bits (b0 bit 7 first): bits 15..5 of rows 0 and 1, then bits 15..6 of
// rows 2..6. Checksum bits 4..0: bit 5 of rows 2, 3, 4, 5, 6.
//
// Fragment k (0..3) is block bits 32k..32k+31, first bit most significant;
// it is sent with the EMB LCSS 1 (first), 3, 3 (continuations), 2 (last).

#include <cstdint>

namespace dmr_encode {

inline constexpr int embedded_lc_block_bytes = 16;

// The 5-bit checksum: the sum of the nine LC bytes modulo 31.
uint8_t embedded_lc_checksum(const uint8_t lc[9]);

// Builds the 128-bit block of the nine LC bytes with their checksum.
void embedded_lc_encode(const uint8_t lc[9], uint8_t block[16]);

// Row word r (0..7, taken modulo 8) of a block, column 0 as bit 15.
uint16_t embedded_lc_row(const uint8_t block[16], int row);

// Block bit (0..127) of row r (0..7), column c (0..15); for placing errors.
constexpr int embedded_lc_bit_of(int row, int column) { return 8 * column + row; }

// Fragment k (0..3, taken modulo 4) of a block, block bit 32k as bit 31.
uint32_t embedded_lc_fragment(const uint8_t block[16], int k);

// The EMB LCSS that fragment k (0..3) is sent with: 1, 3, 3, 2.
constexpr uint8_t embedded_lc_fragment_lcss(int k) { return k == 0 ? 1 : (k == 3 ? 2 : 3); }

}  // namespace dmr_encode
