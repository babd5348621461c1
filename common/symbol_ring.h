// SPDX-License-Identifier: MIT
#pragma once
// A fixed ring of N entries with one write and one read position. Every block
// read from standard input is appended at the write position; the program
// consumes from the read position while enough unread entries are there.
// There is no overrun test: every user keeps the fill well below N by
// consuming after each block.

#include <cstdint>

template <typename T, int32_t N>
struct symbol_ring {
    static_assert(N > 0);
    static constexpr int32_t size = N;
    T entries[N] = {};
    int32_t write_pos = 0;  // 0..N-1, the entry the next appended element fills
    int32_t read_pos = 0;   // 0..N-1, the first unread entry
};

// (b + a % b) % b with truncating %: always in 0..b-1, also for negative a.
// b must be greater than 0.
constexpr int32_t ring_mod(int32_t a, int32_t b) { return (b + a % b) % b; }

// The number of unread entries, 0..N-1.
template <typename T, int32_t N>
int32_t ring_fill(const symbol_ring<T, N> &ring) {
    return ring_mod(ring.write_pos - ring.read_pos, N);
}

// Appends count elements in order; the read position is not looked at.
template <typename T, int32_t N>
void ring_append(symbol_ring<T, N> &ring, const T *block, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        ring.entries[ring.write_pos] = block[i];
        ring.write_pos = ring.write_pos >= N - 1 ? 0 : ring.write_pos + 1;
    }
}

// The entry at offset from the read position; offsets below 0 and past N-1
// wrap around.
template <typename T, int32_t N>
T ring_at(const symbol_ring<T, N> &ring, int32_t offset) {
    return ring.entries[ring_mod(ring.read_pos + offset, N)];
}

// Copies count entries at consecutive offsets from offset on into out.
template <typename T, int32_t N>
void ring_copy(const symbol_ring<T, N> &ring, int32_t offset, T *out, int32_t count) {
    int32_t pos = ring_mod(ring.read_pos + offset, N);
    for (int32_t i = 0; i < count; ++i) {
        out[i] = ring.entries[pos];
        pos = pos >= N - 1 ? 0 : pos + 1;
    }
}

// Moves the read position by k entries; k may be negative.
template <typename T, int32_t N>
void ring_advance(symbol_ring<T, N> &ring, int32_t k) {
    if (k == 1)
        ring.read_pos = ring.read_pos >= N - 1 ? 0 : ring.read_pos + 1;
    else
        ring.read_pos = ring_mod(ring.read_pos + k, N);
}
