// SPDX-License-Identifier: MIT
#pragma once
// The extended Golay (24,12) code of the System Fusion FICH. A word is 24
// bits in the low bits of a uint32_t: 12 data bits (bits 23..12) followed by
// 12 check bits (bits 11..0). Corrects up to three bit errors.

#include <cstdint>

// The 12 rows of the parity-check matrix, each a 12-bit data part followed
// by one bit of the identity.
inline constexpr uint32_t golay_24_12_parity_rows[12] = {0xa4f800, 0xf68400, 0x7b4200, 0x3da100, 0x1ed080, 0xab9040,
                                                         0xf13020, 0xdc6010, 0x6e3008, 0x93e004, 0x49f002, 0xc75001};

// The 12-bit syndrome of a 24-bit word: bit 11 - r is the parity of
// word & row r. 0 for a valid code word.
uint32_t golay_24_12_syndrome(uint32_t word);

// Corrects the 24-bit word in place: true if it was valid or had up to
// three bit errors (now corrected), false if the syndrome matches no error
// pattern of weight 1 to 3 (four or more errors), the word left as it was.
// Bits above 23 are cleared on success and left alone on failure.
bool golay_24_12_correct(uint32_t &word);
