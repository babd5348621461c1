// SPDX-License-Identifier: MIT
#pragma once
// Bit helpers shared by every decoder and encoder. Bits are numbered most
// significant first: bit n of a byte buffer lies in byte n / 8 at bit
// position 7 - (n % 8). A four-level symbol byte carries a dibit, high bit
// first; a k-bit word travels most significant bit first.

#include <cstdint>

// Bit n of a packed buffer, 0 or 1.
inline int bit_at(const uint8_t *bytes, int n) { return (bytes[n >> 3] >> (7 - (n & 7))) & 1; }

// Sets bit n of a packed buffer to v (any non-zero v is 1).
inline void put_bit(uint8_t *bytes, int n, int v) {
    uint8_t mask = static_cast<uint8_t>(0x80u >> (n & 7));
    if (v)
        bytes[n >> 3] |= mask;
    else
        bytes[n >> 3] &= static_cast<uint8_t>(~mask);
}

// Packs n one-per-byte bits (non-zero is 1) into bytes, most significant first;
// the bytes touched are cleared first.
inline void pack_bits(const uint8_t *bits, int n, uint8_t *bytes) {
    for (int i = 0; i < (n + 7) / 8; ++i) bytes[i] = 0;
    for (int i = 0; i < n; ++i)
        if (bits[i]) bytes[i >> 3] |= static_cast<uint8_t>(0x80u >> (i & 7));
}

// Unpacks n bits of a packed buffer into one byte (0 or 1) per bit.
inline void unpack_bits(const uint8_t *bytes, int n, uint8_t *bits) {
    for (int i = 0; i < n; ++i) bits[i] = static_cast<uint8_t>(bit_at(bytes, i));
}

// Splits count symbol bytes into 2 * count bits, high bit of each dibit first.
// Only the low two bits of each symbol are looked at.
inline void symbols_to_bits(const uint8_t *symbols, int count, uint8_t *bits) {
    for (int i = 0; i < count; ++i) {
        bits[2 * i] = (symbols[i] >> 1) & 1;
        bits[2 * i + 1] = symbols[i] & 1;
    }
}

// Joins 2 * count bits into count symbol bytes, high bit first.
inline void bits_to_symbols(const uint8_t *bits, int count, uint8_t *symbols) {
    for (int i = 0; i < count; ++i)
        symbols[i] = static_cast<uint8_t>(((bits[2 * i] & 1) << 1) | (bits[2 * i + 1] & 1));
}

// The word made of n one-per-byte bits, the first bit most significant
// (n <= 64; a non-zero byte counts as 1).
inline uint64_t bits_to_word(const uint8_t *bits, int n) {
    uint64_t w = 0;
    for (int i = 0; i < n; ++i) w = (w << 1) | (bits[i] ? 1u : 0u);
    return w;
}

// Writes the low n bits of word as n one-per-byte bits, most significant first.
inline void word_to_bits(uint64_t word, int n, uint8_t *bits) {
    for (int i = 0; i < n; ++i) bits[i] = static_cast<uint8_t>((word >> (n - 1 - i)) & 1);
}

// Writes the low 2 * count bits of word as count symbol bytes, most
// significant dibit first (a 48-bit sync word is 24 symbols).
inline void word_to_symbols(uint64_t word, int count, uint8_t *symbols) {
    for (int i = 0; i < count; ++i) symbols[i] = static_cast<uint8_t>((word >> (2 * (count - 1 - i))) & 3);
}

// The word carried by count symbol bytes, first symbol most significant.
inline uint64_t symbols_to_word(const uint8_t *symbols, int count) {
    uint64_t w = 0;
    for (int i = 0; i < count; ++i) w = (w << 2) | (symbols[i] & 3u);
    return w;
}
