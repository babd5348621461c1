// SPDX-License-Identifier: MIT
#pragma once
// The BCH(31,21) code of POCSAG codewords (ITU-R M.584), with its even parity
// bit. A 31-bit BCH word holds bit 30 (the flag) down to bit 11 as the 21
// information bits and bits 9..0 as the check bits; as a polynomial over GF(2)
// bit i is the coefficient of x^i, and every valid word is a multiple of the
// generator g(x) = x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1. The code corrects
// up to two wrong bits.
//
// The decoder side (syndrome, correction, parity check) is here; the encoder
// that builds fixtures is an independent inverse in pocsag_encode.h.

#include <array>
#include <bit>
#include <cstdint>

// g(x) as a bit pattern: 0b11101101001.
inline constexpr uint32_t bch_generator = 0x769;

// One correctable error: the pattern of one or two wrong bits within the
// 31-bit word, and the syndrome it leaves.
struct bch_error_pattern {
    uint32_t pattern;
    uint16_t syndrome;
};

// Number of patterns of one or two wrong bits among 31: 31 + 465.
inline constexpr int bch_error_pattern_count = 496;

// The 10-bit remainder of the 31-bit word (higher bits ignored) divided by
// g(x). 0 for a valid code word; a single error in bit i < 10 gives 1 << i.
constexpr uint16_t bch_syndrome(uint32_t word) {
    uint32_t r = word & 0x7FFFFFFFu;
    for (int bit = 30; bit >= 10; --bit)
        if (r & (1u << bit)) r ^= bch_generator << (bit - 10);
    return static_cast<uint16_t>(r);
}

namespace detail {
constexpr std::array<bch_error_pattern, bch_error_pattern_count> make_bch_error_patterns() {
    // In ascending order of the pattern: for each highest wrong bit, the
    // single-bit pattern first, then the pairs with a lower second bit.
    std::array<bch_error_pattern, bch_error_pattern_count> table{};
    int n = 0;
    for (int high = 0; high < 31; ++high) {
        for (int low = -1; low < high; ++low) {
            uint32_t pattern = (1u << high) | (low >= 0 ? 1u << low : 0u);
            table[n++] = {pattern, bch_syndrome(pattern)};
        }
    }
    return table;
}
}  // namespace detail

// Every error pattern of one or two bits with its syndrome, derived from g(x).
// All 496 syndromes differ from each other and from 0.
inline constexpr std::array<bch_error_pattern, bch_error_pattern_count> bch_error_patterns =
    detail::make_bch_error_patterns();

// Corrects the 31-bit word in place (bit 31 and above are cleared). Returns
// true if the word was valid or one or two bits were flipped to make it valid;
// false (word unchanged apart from the cleared high bits) when the syndrome
// matches no pattern, which means three or more wrong bits.
bool bch_correct(uint32_t &word);

// True if the 32-bit codeword holds an even number of one bits.
constexpr bool has_even_parity(uint32_t codeword) { return (std::popcount(codeword) & 1) == 0; }
