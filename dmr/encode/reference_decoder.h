// SPDX-License-Identifier: MIT
#pragma once
// Plain reference decoders for the encoder tests, written from the receiver's
// description of each field (not from the encoders), so that an encoder and
// its test cannot share a mistake. Error-free input only: they check and
// extract, they do not correct.

#include <bit>
#include <cstdint>
#include <vector>

#include "bits.h"
#include "voice_frame_table.h"

namespace reference {

// Parity-check rows as the receiver uses them; syndrome first row most
// significant.
inline constexpr uint32_t qr_rows[9] = {0x7900, 0x3C80, 0x9E40, 0x3620, 0x6210, 0xC808, 0xE404, 0xF202, 0xAE01};
inline constexpr uint32_t golay_rows[12] = {0x4F800, 0x68400, 0xB4200, 0xDA100, 0xED080, 0xB9040,
                                            0x13020, 0xC6010, 0xE3008, 0x3E004, 0x9F002, 0x75001};
inline constexpr uint32_t tact_rows[3] = {0x74, 0x3a, 0x69};
inline constexpr uint32_t h16_rows[5] = {0xF590, 0x7AC8, 0x3D64, 0xEB22, 0xA6E1};
inline constexpr uint32_t h13_rows[4] = {0x1AC8, 0x1D64, 0x1EB2, 0x1591};
inline constexpr uint32_t h15_rows[4] = {0x7AC8, 0x3D64, 0x1EB2, 0x7591};

inline uint32_t syndrome(uint32_t word, const uint32_t *rows, int count) {
    uint32_t s = 0;
    for (int j = 0; j < count; ++j) s = (s << 1) | (std::popcount(word & rows[j]) & 1u);
    return s;
}

// The 24 bits of a CACH and its TACT byte (CACH bit 0 is TACT bit 6).
inline uint8_t tact_of_cach(const uint8_t cach[12]) {
    uint8_t bits[24];
    symbols_to_bits(cach, 12, bits);
    const int at[7] = {0, 4, 8, 12, 14, 18, 22};
    uint8_t t = 0;
    for (int i = 0; i < 7; ++i) t = static_cast<uint8_t>((t << 1) | bits[at[i]]);
    return t;
}

// EMB word of a centre field (symbols 0..3 and 20..23).
inline uint16_t emb_of_centre(const uint8_t c[24]) {
    return static_cast<uint16_t>(c[0] << 14 | c[1] << 12 | c[2] << 10 | c[3] << 8 | c[20] << 6 | c[21] << 4 |
                                 c[22] << 2 | c[23]);
}

// The 32 fragment bits of a centre field (symbols 4..19).
inline uint32_t fragment_of_centre(const uint8_t c[24]) {
    uint32_t f = 0;
    for (int i = 4; i < 20; ++i) f = (f << 2) | (c[i] & 3u);
    return f;
}

// Slot type word of a 132-symbol burst: symbols 49..53 then 78..82.
inline uint32_t slot_type_of_burst(const uint8_t b[132]) {
    uint32_t w = 0;
    for (int i = 49; i < 54; ++i) w = (w << 2) | (b[i] & 3u);
    for (int i = 78; i < 83; ++i) w = (w << 2) | (b[i] & 3u);
    return w;
}

// The 36 codec frame bytes of a voice burst: 216 payload bits from symbols
// 0..53 and 78..131, frame k being bits 72k..72k+71, placed through the
// voice frame table.
inline std::vector<uint8_t> voice_of_burst(const uint8_t b[132]) {
    uint8_t bits[216];
    symbols_to_bits(b, 54, bits);
    symbols_to_bits(b + 78, 54, bits + 108);
    std::vector<uint8_t> out(36);
    for (int k = 0; k < 3; ++k) place_voice_frame(bits + 72 * k, out.data() + 12 * k);
    return out;
}

// Decodes error-free BPTC (196,96): returns false if a column or row
// syndrome is not 0 or a reserved bit is set.
inline bool bptc_decode(const uint8_t info[25], uint8_t data[12]) {
    uint8_t d[196];
    for (int i = 0; i < 196; ++i) d[i] = static_cast<uint8_t>(bit_at(info, (i * 181) % 196));
    if (d[0]) return false;
    auto m = [&](int r, int c) { return d[1 + 15 * r + c]; };
    for (int c = 0; c < 15; ++c) {
        uint32_t w = 0;
        for (int r = 0; r < 13; ++r) w = (w << 1) | m(r, c);
        if (syndrome(w, h13_rows, 4)) return false;
    }
    for (int r = 0; r < 9; ++r) {
        uint32_t w = 0;
        for (int c = 0; c < 15; ++c) w = (w << 1) | m(r, c);
        if (syndrome(w, h15_rows, 4)) return false;
    }
    if (m(0, 0) || m(0, 1) || m(0, 2)) return false;
    uint8_t bits[96];
    int n = 0;
    for (int c = 3; c <= 10; ++c) bits[n++] = m(0, c);
    for (int r = 1; r <= 8; ++r)
        for (int c = 0; c <= 10; ++c) bits[n++] = m(r, c);
    pack_bits(bits, 96, data);
    return true;
}

// The 196 information bits of a data burst: symbols 0..48 then 83..131.
inline void info_of_burst(const uint8_t b[132], uint8_t info[25]) {
    uint8_t bits[196];
    symbols_to_bits(b, 49, bits);
    symbols_to_bits(b + 83, 49, bits + 98);
    pack_bits(bits, 196, info);
}

// Decodes an error-free embedded LC block (byte c is column c, row 0 its
// top bit) into the nine LC bytes; false on a row syndrome, a column
// parity or a checksum mismatch.
inline bool embedded_lc_decode(const uint8_t block[16], uint8_t lc[9]) {
    uint16_t rows[8] = {};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c) rows[r] = static_cast<uint16_t>(rows[r] << 1 | ((block[c] >> (7 - r)) & 1));
    uint16_t parity = 0;
    for (int r = 0; r < 7; ++r) {
        if (syndrome(rows[r], h16_rows, 5)) return false;
        parity ^= rows[r];
    }
    if (parity != rows[7]) return false;
    uint8_t bits[72];
    int n = 0;
    for (int r = 0; r < 7; ++r)
        for (int b = 15; b >= (r < 2 ? 5 : 6); --b) bits[n++] = (rows[r] >> b) & 1;
    pack_bits(bits, 72, lc);
    int received = 0;
    for (int r = 2; r <= 6; ++r) received = received << 1 | ((rows[r] >> 5) & 1);
    int sum = 0;
    for (int i = 0; i < 9; ++i) sum += lc[i];
    return sum % 31 == received;
}

}  // namespace reference
