// SPDX-License-Identifier: MIT
#pragma once
// Correction by syndrome lookup for the EMB and slot-type codes: every error
// pattern of 1 .. MaxErrors set bits among the word's Bits bits is entered
// under its syndrome, derived from the parity-check rows. The codes are
// chosen so that no two such patterns share a syndrome.

#include <array>
#include <cstdint>

#include "parity_check.h"

template <int Checks>
struct error_pattern_table {
    std::array<uint32_t, (1 << Checks)> pattern{};  // 0: no pattern has this syndrome
    int collisions = 0;                             // patterns that found their syndrome taken
};

template <int Bits, int Checks, int MaxErrors>
constexpr error_pattern_table<Checks> make_error_pattern_table(const uint32_t (&rows)[Checks]) {
    static_assert(MaxErrors >= 1 && MaxErrors <= 3);
    error_pattern_table<Checks> t{};
    auto enter = [&](uint32_t e) {
        uint32_t s = parity_syndrome(e, rows, Checks);
        if (s == 0 || t.pattern[s] != 0)
            ++t.collisions;
        else
            t.pattern[s] = e;
    };
    for (int a = 0; a < Bits; ++a) {
        enter(1u << a);
        for (int b = a + 1; MaxErrors >= 2 && b < Bits; ++b) {
            enter((1u << a) | (1u << b));
            for (int c = b + 1; MaxErrors >= 3 && c < Bits; ++c) enter((1u << a) | (1u << b) | (1u << c));
        }
    }
    return t;
}

// Syndrome 0 keeps the word; a syndrome with a pattern flips the pattern's
// bits; any other syndrome fails and leaves the word as received.
template <int Checks>
constexpr bool correct_error_pattern(uint32_t &word, const uint32_t (&rows)[Checks],
                                     const error_pattern_table<Checks> &table) {
    uint32_t s = parity_syndrome(word, rows, Checks);
    if (s == 0) return true;
    uint32_t e = table.pattern[s];
    if (e == 0) return false;
    word ^= e;
    return true;
}
