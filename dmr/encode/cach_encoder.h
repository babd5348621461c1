// SPDX-License-Identifier: MIT
#pragma once
// The DMR CACH: 24 bits in the 12 symbols before a burst (bit 2k is the high
// bit of symbol k). Bits 0, 4, 8, 12, 14, 18, 22 carry the 7-bit TACT, its
// bit 6 first; the other 17 carry a short-LC fragment.
//
// TACT bits: 6 AT (busy), 5 TC (slot of the burst that follows, 0 or 1), 4..3
// LCSS of the short-LC fragment (0 single, 1 first, 2 last, 3 continuation),
// 2..0 Hamming (7,4) check bits.

#include <cstdint>

namespace dmr_encode {

// The CACH bit (0..23) that carries TACT bit 6 - i, for i = 0..6.
inline constexpr int tact_cach_bits[7] = {0, 4, 8, 12, 14, 18, 22};

// The 7-bit TACT codeword of busy (0 or 1), slot (0 or 1) and LCSS (0..3).
uint8_t tact_word(int busy, int slot, int lcss);

// The 12 CACH symbols of a TACT word (bits 6..0) and 17 short-LC bits (bits
// 16..0, bit 16 sent first, in the CACH bits that are not TACT bits).
void build_cach(uint8_t tact, uint32_t short_lc, uint8_t symbols[12]);

}  // namespace dmr_encode
