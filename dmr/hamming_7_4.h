// SPDX-License-Identifier: MIT
#pragma once
// Hamming (7,4) code of the TACT field in the CACH (ETSI TS 102 361-1).
// TACT byte, bits 6..0: AT (busy), TC (slot), LCSS high, LCSS low, then the
// three check bits
//   bit 2 = AT ^ TC ^ LCSS(high)
//   bit 1 = TC ^ LCSS(high) ^ LCSS(low)
//   bit 0 = AT ^ TC ^ LCSS(low)

#include <cstdint>

// Corrects one bit error of the 7-bit TACT in place (bit 7 is ignored and
// cleared). The code is perfect: every word lies within one bit of a
// codeword, so two or more errors are miscorrected without notice and the
// result is always true.
bool hamming_7_4_correct(uint8_t &tact);
