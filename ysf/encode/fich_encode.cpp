// SPDX-License-Identifier: MIT
#include "fich_encode.h"

#include "bits.h"
#include "conv_k5_encode.h"
#include "crc16_encode.h"
#include "golay_24_12_encode.h"

namespace ysf_encode {
namespace {

// Puts the low `width` bits of value at bits top .. top - width + 1.
inline uint32_t field(uint8_t value, int top, int width) {
    uint32_t mask = (1u << width) - 1u;
    return (static_cast<uint32_t>(value) & mask) << (top - width + 1);
}

constexpr int fich_coded_bits = 96;

}  // namespace

uint32_t fich_information(const fich_fields &f) {
    return field(f.fi, 31, 2) | field(f.cs, 29, 2) | field(f.cm, 27, 2) | field(f.bn, 25, 2) | field(f.bt, 23, 2) |
           field(f.fn, 21, 3) | field(f.ft, 18, 3) | field(f.dev, 14, 1) | field(f.mr, 13, 3) | field(f.voip, 10, 1) |
           field(f.dt, 9, 2) | field(f.sql, 7, 1) | field(f.sc, 6, 7);
}

void fich_golay_words(uint32_t information, uint32_t words[4]) {
    uint8_t info_bytes[4];
    for (int i = 0; i < 4; ++i) info_bytes[i] = static_cast<uint8_t>(information >> (24 - 8 * i));
    uint64_t all = (static_cast<uint64_t>(information) << 16) | crc16_compute(info_bytes, 4);
    for (int w = 0; w < 4; ++w) words[w] = golay_24_12_encode(static_cast<uint32_t>(all >> (36 - 12 * w)) & 0xFFFu);
}

void encode_fich_words(const uint32_t words[4], uint8_t symbols[fich_symbols]) {
    uint8_t bits[fich_coded_bits];
    for (int w = 0; w < 4; ++w) word_to_bits(words[w] & 0xFFFFFFu, 24, bits + 24 * w);
    uint8_t packed[fich_coded_bits / 8];
    pack_bits(bits, fich_coded_bits, packed);
    uint8_t coded[fich_symbols];
    conv_k5_encode(packed, fich_coded_bits, coded);
    // The 100 coded dibits fill 5 rows of 20 column by column.
    for (int k = 0; k < fich_symbols; ++k) symbols[20 * (k % 5) + k / 5] = coded[k];
}

void encode_fich_information(uint32_t information, uint8_t symbols[fich_symbols]) {
    uint32_t words[4];
    fich_golay_words(information, words);
    encode_fich_words(words, symbols);
}

void encode_fich(const fich_fields &fields, uint8_t symbols[fich_symbols]) {
    encode_fich_information(fich_information(fields), symbols);
}

}  // namespace ysf_encode
