// SPDX-License-Identifier: MIT
#pragma once
// Embedded signalling: the 128-bit embedded link control of a voice
// superframe, carried as four 32-bit fragments in the centre fields of four
// bursts of one slot, each tagged by its EMB LCSS (1 first, 3 continuation,
// 2 last, 0 single).
//
// Fragment k fills bits 32k .. 32k+31 of the slot's 16-byte buffer. The 128
// bits form a matrix of 8 rows by 16 columns filled column by column (buffer
// bit 8c + r is row r, column c). Rows 0..6 are Hamming (16,11,4) codewords,
// row 7 the parity of the columns. The 72 LC bits are bits 15..5 of rows 0
// and 1 and bits 15..6 of rows 2..6; bit 5 of rows 2..6 is the 5-bit
// checksum, the LC byte sum modulo 31.

#include <cstdint>

#include "tessavox_state.h"

// Takes the 16 fragment symbols of a burst with a valid EMB. A last fragment
// that completes a first and two continuations (or three continuations)
// runs decode_embedded_lc. Too many continuations write "embedded data
// backlog overflow; ignoring frame data\n".
void collect_fragment(tessavox_state &state, const uint8_t fragment_symbols[16], int slot, int lcss);

// Decodes the slot's collected fragments: corrects the rows, checks the
// column parity and the checksum, and hands the LC to handle_full_lc. Each
// failure writes its message and drops the LC.
void decode_embedded_lc(tessavox_state &state, int slot);

// The checksum of a full LC: its byte sum modulo 31.
int embedded_lc_checksum(const uint8_t lc[9]);
