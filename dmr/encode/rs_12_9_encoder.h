// SPDX-License-Identifier: MIT
#pragma once
// Reed-Solomon (12,9) code over GF(256) that protects a full LC sent in a
// voice LC header or terminator data burst (ETSI TS 102 361-1). Field
// polynomial x^8 + x^4 + x^3 + x^2 + 1, generator (x - a)(x - a^2)(x - a^3)
// with a = 2. The nine data bytes are the highest coefficients (byte 0
// highest), the three parity bytes the lowest, highest first.

#include <cstdint>

namespace dmr_encode {

// Parity masks XORed onto each of the three parity bytes, by the kind of
// burst that carries the LC.
inline constexpr uint8_t rs_mask_voice_lc_header = 0x96;
inline constexpr uint8_t rs_mask_terminator_lc = 0x99;

// The three parity bytes of the nine data bytes (before any mask).
void rs_12_9_parity(const uint8_t data[9], uint8_t parity[3]);

// Evaluates the 12-byte word (byte 0 the coefficient of x^11) at a^power;
// 0 for power 1, 2 and 3 exactly when the word is a codeword.
uint8_t rs_12_9_evaluate(const uint8_t word[12], int power);

}  // namespace dmr_encode
