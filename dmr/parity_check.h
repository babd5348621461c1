// SPDX-License-Identifier: MIT
#pragma once
// Syndromes of the short block codes of a DMR burst. Each code is given by
// its parity-check rows: the syndrome takes, row by row, the parity of the
// received word AND the row and shifts it in from the right, so that the
// first row gives the most significant syndrome bit. The check bits are the
// low bits of the word, one per row, the first row's check bit highest.

#include <bit>
#include <cstdint>

// The parity (number of set bits modulo 2) of x, 0 or 1.
constexpr uint32_t word_parity(uint32_t x) { return static_cast<uint32_t>(std::popcount(x) & 1); }

// The syndrome of word over count parity-check rows.
constexpr uint32_t parity_syndrome(uint32_t word, const uint32_t *rows, int count) {
    uint32_t s = 0;
    for (int k = 0; k < count; ++k) s = (s << 1) | word_parity(word & rows[k]);
    return s;
}
