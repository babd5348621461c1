// SPDX-License-Identifier: MIT
#pragma once
// Bit distance between two byte sequences, used to find sync patterns: a
// pattern counts as found when the distance is below sync_distance_limit.

#include <array>
#include <cstdint>

namespace detail {
constexpr std::array<uint8_t, 256> make_bit_count_table() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        int c = 0;
        for (int b = i; b; b >>= 1) c += b & 1;
        t[i] = static_cast<uint8_t>(c);
    }
    return t;
}
}  // namespace detail

// Entry i is the number of set bits of i.
inline constexpr std::array<uint8_t, 256> bit_count_table = detail::make_bit_count_table();

// Sync patterns count as found below this distance (at most 3 bit errors).
inline constexpr int32_t sync_distance_limit = 4;

// The number of differing bits between a[0..n-1] and b[0..n-1]; 0 for n <= 0.
int32_t symbol_distance(const uint8_t *a, const uint8_t *b, int32_t n);
