// SPDX-License-Identifier: MIT
#include "bch_31_21.h"

namespace {

// Syndrome -> index into bch_error_patterns plus one (0: no pattern), built
// from the pattern table so a lookup is one step.
constexpr std::array<uint16_t, 1024> make_syndrome_index() {
    std::array<uint16_t, 1024> index{};
    for (int i = 0; i < bch_error_pattern_count; ++i)
        index[bch_error_patterns[i].syndrome] = static_cast<uint16_t>(i + 1);
    return index;
}

// The lookup by syndrome needs every syndrome to be distinct and non-zero.
constexpr bool syndromes_distinct() {
    std::array<bool, 1024> seen{};
    seen[0] = true;
    for (const bch_error_pattern &e : bch_error_patterns) {
        if (seen[e.syndrome]) return false;
        seen[e.syndrome] = true;
    }
    return true;
}
static_assert(syndromes_distinct());

constexpr std::array<uint16_t, 1024> syndrome_index = make_syndrome_index();

}  // namespace

bool bch_correct(uint32_t &word) {
    word &= 0x7FFFFFFFu;
    uint16_t syndrome = bch_syndrome(word);
    if (syndrome == 0) return true;
    uint16_t entry = syndrome_index[syndrome];
    if (entry == 0) return false;
    word ^= bch_error_patterns[entry - 1].pattern;
    return true;
}
