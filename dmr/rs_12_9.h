// SPDX-License-Identifier: MIT
#pragma once
// Reed-Solomon (12,9) code over GF(256) that protects the full LC of a
// voice LC header and of a terminator with LC (ETSI TS 102 361-1). Field
// polynomial x^8 + x^4 + x^3 + x^2 + 1, primitive element a = 2, generator
// g(x) = (x + a)(x + a^2)(x + a^3) = x^3 + 0x0E x^2 + 0x38 x + 0x40.
//
// Word: 12 bytes, byte 0 the coefficient of x^11: the nine LC bytes, then
// the three parity bytes (coefficients of x^2, x, 1). On air the parity is
// XORed with a mask that tells the data type it belongs to.

#include <cstdint>

// Parity masks of ETSI TS 102 361-1, one byte for each of the three parity
// bytes: 0x969696 for a voice LC header, 0x999999 for a terminator with LC.
inline constexpr uint8_t rs_12_9_mask_voice_lc_header = 0x96;
inline constexpr uint8_t rs_12_9_mask_terminator_lc = 0x99;

// The word's syndrome at a^power (1..3): 0 for every codeword.
uint8_t rs_12_9_syndrome(const uint8_t word[12], int power);

// Takes the 12 bytes of a header or terminator as received (parity masked
// with mask) and reports whether they form a codeword. The code could
// correct one wrong byte, but a word that reaches it with an error has
// already been miscorrected by the BPTC, so any error fails the check.
bool rs_12_9_check(const uint8_t received[12], uint8_t mask);
