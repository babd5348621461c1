// SPDX-License-Identifier: MIT
#pragma once
// Block product turbo code BPTC (196,96) of DMR data bursts (ETSI TS 102
// 361-1), with its interleave.
//
// Matrix: 13 rows (0..12) by 15 columns (0..14). Rows 0..8 carry the data in
// columns 0..10 (row 0 columns 0..2 are reserved and sent as 0) and their
// Hamming (15,11,3) check bits in columns 11..14; rows 9..12 are the
// Hamming (13,9,3) check bits of every column (check bits on check bits
// included). Row r, column c is deinterleaved bit 1 + 15r + c; deinterleaved
// bit 0 is reserved and sent as 0. Deinterleaved bit i travels as
// transmitted bit (i * 181) mod 196.
//
// Data bits: the 96 bits of 12 bytes, most significant bit of byte 0 first,
// fill row 0 columns 3..10 and then rows 1..8 columns 0..10.

#include <cstdint>

namespace dmr_encode {

inline constexpr int bptc_196_96_bits = 196;
inline constexpr int bptc_196_96_bytes = 25;  // 196 bits, the last byte holds 4 (in its high bits)

// The 196 transmitted bits of the 12 data bytes, packed most significant bit
// first into 25 bytes (the low 4 bits of the last byte are 0), in air order:
// the first 98 bits go before the centre field of a data burst, the last 98
// after it.
void bptc_196_96_encode(const uint8_t data[12], uint8_t bits[25]);

// The transmitted bit (0..195) that carries matrix row r (0..12), column c
// (0..14); for placing errors in a known row or column.
int bptc_196_96_bit_of(int row, int column);

// The transmitted bit (0..195) that carries deinterleaved bit i (0..195).
constexpr int bptc_196_96_interleave(int i) { return (i * 181) % 196; }

}  // namespace dmr_encode
