// SPDX-License-Identifier: MIT
#pragma once
// Hamming (13,9,3) code of the columns of the BPTC (196,96) matrix
// (ETSI TS 102 361-1): 9 data bits (bits 12..4) and 4 check bits (3..0).

#include <cstdint>

// Corrects one bit error in place. Of the 15 non-zero syndromes 13 belong
// to single errors; the other two (9 and 13) fail and leave the word as
// received.
bool hamming_13_9_correct(uint16_t &word);
