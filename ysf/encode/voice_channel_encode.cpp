// SPDX-License-Identifier: MIT
#include "voice_channel_encode.h"

#include "bits.h"
#include "pn9_whiten.h"
#include "voice_frame_table.h"

namespace ysf_encode {
namespace {

constexpr int vd2_bits = 2 * vd2_voice_symbols;  // 104
constexpr int vd2_repeated = 27;                 // parameter bits sent three times
constexpr int vfr_bits = 2 * vfr_voice_symbols;  // 144

// The place in the block of IMBE frame bit i: V[24c + 2j + e].
constexpr int vfr_place(int i) {
    int c = i / 24, j = (i % 24) / 2, e = i % 2;
    return e == 0 ? 12 * j + c : 12 * j + 6 + (c ^ 1);
}

}  // namespace

void encode_vd1_voice(const uint8_t frame[12], uint8_t symbols[vd1_voice_symbols]) {
    uint8_t bits[72];
    extract_voice_frame(frame, bits);
    bits_to_symbols(bits, vd1_voice_symbols, symbols);
}

void encode_vd2_voice(const uint8_t frame[7], uint8_t symbols[vd2_voice_symbols]) {
    uint8_t plain[vd2_bits / 8] = {};
    for (int j = 0; j < vd2_repeated; ++j)
        for (int r = 0; r < 3; ++r) put_bit(plain, 3 * j + r, bit_at(frame, j));
    for (int k = vd2_repeated; k < 49; ++k) put_bit(plain, 81 + (k - vd2_repeated), bit_at(frame, k));
    uint8_t whitened[vd2_bits / 8];
    pn9_whiten(plain, whitened, vd2_bits);
    // Written as 26 rows of 4 bits, the sequence is sent row by row after
    // being filled column by column.
    uint8_t sent[vd2_bits];
    for (int l = 0; l < vd2_bits; ++l) sent[4 * (l % 26) + l / 26] = static_cast<uint8_t>(bit_at(whitened, l));
    bits_to_symbols(sent, vd2_voice_symbols, symbols);
}

void imbe_pseudo_noise(uint8_t frame[18]) {
    // The seed is the first Golay word's data part, which itself carries no
    // pseudo-noise, so the same steps put the noise on and take it off.
    unsigned p = 16u * ((static_cast<unsigned>(frame[0]) << 4) | (frame[1] >> 4u));
    for (int n = 1; n <= 114; ++n) {
        p = (173u * p + 13849u) & 0xFFFFu;
        if (p & 0x8000u) put_bit(frame, 22 + n, !bit_at(frame, 22 + n));
    }
}

void encode_vfr_voice(const uint8_t frame[18], uint8_t symbols[vfr_voice_symbols]) {
    uint8_t modulated[18];
    for (int i = 0; i < 18; ++i) modulated[i] = frame[i];
    imbe_pseudo_noise(modulated);
    uint8_t sent[vfr_bits];
    for (int i = 0; i < vfr_bits; ++i) sent[vfr_place(i)] = static_cast<uint8_t>(bit_at(modulated, i));
    bits_to_symbols(sent, vfr_voice_symbols, symbols);
}

}  // namespace ysf_encode
