// SPDX-License-Identifier: MIT
#pragma once
// Hamming (15,11,3) code of the rows of the BPTC (196,96) matrix
// (ETSI TS 102 361-1): 11 data bits (bits 14..4) and 4 check bits (3..0).

#include <cstdint>

// Corrects one bit error in place. Every non-zero syndrome belongs to a
// single error, so the code never fails: two errors are miscorrected.
bool hamming_15_11_correct(uint16_t &word);
