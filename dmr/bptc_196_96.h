// SPDX-License-Identifier: MIT
#pragma once
// Block product turbo code BPTC (196,96) of DMR data bursts
// (ETSI TS 102 361-1).
//
// The 196 received bits are interleaved: deinterleaved bit i is received bit
// (i * 181) mod 196. Deinterleaved bit 0 is reserved; bits 1 .. 195 form a
// matrix of 13 rows by 15 columns (row r, column c is bit 1 + 15r + c).
// Rows 0..8 are Hamming (15,11) codewords (columns 11..14 their check bits),
// rows 9..12 the column check bits, each column a Hamming (13,9) codeword.
// The 96 data bits are row 0 columns 3..10 and rows 1..8 columns 0..10.

#include <cstdint>

// Decodes the 196 bits held in in (most significant bit first; the low four
// bits of byte 24 are unused) into the 12 data bytes of out. Corrects the
// columns first, then the rows; false if any column or row cannot be
// corrected (out is then undefined).
bool decode_bptc_196_96(const uint8_t in[25], uint8_t out[12]);
