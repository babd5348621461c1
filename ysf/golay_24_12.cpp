// SPDX-License-Identifier: MIT
#include "golay_24_12.h"

#include <array>

namespace {

constexpr uint32_t syndrome_of(uint32_t word) {
    uint32_t s = 0;
    for (int r = 0; r < 12; ++r) {
        uint32_t v = word & golay_24_12_parity_rows[r];
        v ^= v >> 16;
        v ^= v >> 8;
        v ^= v >> 4;
        v ^= v >> 2;
        v ^= v >> 1;
        s |= (v & 1u) << (11 - r);
    }
    return s;
}

// Error pattern by syndrome, for every pattern of weight 1, 2 or 3 over the
// 24 bits (2324 patterns, all syndromes distinct); 0 where none matches.
constexpr std::array<uint32_t, 4096> make_error_table() {
    std::array<uint32_t, 4096> t{};
    for (int a = 0; a < 24; ++a) {
        uint32_t one = 1u << a;
        t[syndrome_of(one)] = one;
        for (int b = a + 1; b < 24; ++b) {
            uint32_t two = one | (1u << b);
            t[syndrome_of(two)] = two;
            for (int c = b + 1; c < 24; ++c) {
                uint32_t three = two | (1u << c);
                t[syndrome_of(three)] = three;
            }
        }
    }
    return t;
}

constexpr std::array<uint32_t, 4096> error_table = make_error_table();

}  // namespace

uint32_t golay_24_12_syndrome(uint32_t word) { return syndrome_of(word & 0xffffffu); }

bool golay_24_12_correct(uint32_t &word) {
    uint32_t s = golay_24_12_syndrome(word);
    if (s == 0) {
        word &= 0xffffffu;
        return true;
    }
    uint32_t pattern = error_table[s];
    if (pattern == 0) return false;
    word = (word & 0xffffffu) ^ pattern;
    return true;
}
