// SPDX-License-Identifier: MIT
#include "cach_encoder.h"

#include "bits.h"
#include "hamming_7_4_encoder.h"

namespace dmr_encode {

uint8_t tact_word(int busy, int slot, int lcss) {
    return hamming_7_4_encode(static_cast<uint8_t>(((busy & 1) << 3) | ((slot & 1) << 2) | (lcss & 3)));
}

void build_cach(uint8_t tact, uint32_t short_lc, uint8_t symbols[12]) {
    uint8_t bits[24] = {};
    bool is_tact[24] = {};
    for (int i = 0; i < 7; ++i) {
        bits[tact_cach_bits[i]] = static_cast<uint8_t>((tact >> (6 - i)) & 1);
        is_tact[tact_cach_bits[i]] = true;
    }
    int k = 16;
    for (int n = 0; n < 24; ++n)
        if (!is_tact[n]) bits[n] = static_cast<uint8_t>((short_lc >> k--) & 1);
    bits_to_symbols(bits, 12, symbols);
}

}  // namespace dmr_encode
