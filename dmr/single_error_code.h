// SPDX-License-Identifier: MIT
#pragma once
// Single-error correction by syndrome for the Hamming codes of a DMR burst:
// the table maps each syndrome to the bit whose flip produces it, derived
// from the parity-check rows (the syndrome of a one-bit error at bit j is
// column j of the rows).

#include <array>
#include <cstdint>

#include "parity_check.h"

// Syndrome -> bit position (0 = least significant), or -1 where no single
// bit error gives the syndrome. Bits is the word length, Checks the number of
// rows.
template <int Bits, int Checks>
struct single_error_table {
    std::array<int8_t, (1 << Checks)> bit{};
};

template <int Bits, int Checks>
constexpr single_error_table<Bits, Checks> make_single_error_table(const uint32_t (&rows)[Checks]) {
    single_error_table<Bits, Checks> t{};
    for (auto &b : t.bit) b = -1;
    for (int j = 0; j < Bits; ++j) t.bit[parity_syndrome(1u << j, rows, Checks)] = static_cast<int8_t>(j);
    return t;
}

// Syndrome 0 keeps the word; a single-error syndrome flips its bit; any
// other syndrome fails and leaves the word as received.
template <int Bits, int Checks>
constexpr bool correct_single_error(uint32_t &word, const uint32_t (&rows)[Checks],
                                    const single_error_table<Bits, Checks> &table) {
    uint32_t s = parity_syndrome(word, rows, Checks);
    if (s == 0) return true;
    int b = table.bit[s];
    if (b < 0) return false;
    word ^= 1u << b;
    return true;
}
