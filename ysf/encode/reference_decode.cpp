// SPDX-License-Identifier: MIT
#include "reference_decode.h"

#include <cstring>

#include "bits.h"
#include "crc16_encode.h"
#include "pn9_whiten.h"
#include "voice_frame_table.h"

namespace reference {
namespace {

const uint32_t parity_check_rows[12] = {0xa4f800, 0xf68400, 0x7b4200, 0x3da100, 0x1ed080, 0xab9040,
                                        0xf13020, 0xdc6010, 0x6e3008, 0x93e004, 0x49f002, 0xc75001};

// The expected dibits of the code, indexed by 2 * state + input bit.
const uint8_t expected_dibit[32] = {0, 3, 3, 0, 2, 1, 1, 2, 1, 2, 2, 1, 3, 0, 0, 3,
                                    1, 2, 2, 1, 3, 0, 0, 3, 0, 3, 3, 0, 2, 1, 1, 2};

// The voice full-rate deinterleave table as listed: frame bit i is taken
// from received bit V[i].
const uint8_t vfr_table[144] = {
    0, 7,  12, 19, 24, 31, 36, 43, 48, 55, 60, 67, 72, 79, 84, 91, 96,  103, 108, 115, 120, 127, 132, 139,
    1, 6,  13, 18, 25, 30, 37, 42, 49, 54, 61, 66, 73, 78, 85, 90, 97,  102, 109, 114, 121, 126, 133, 138,
    2, 9,  14, 21, 26, 33, 38, 45, 50, 57, 62, 69, 74, 81, 86, 93, 98,  105, 110, 117, 122, 129, 134, 141,
    3, 8,  15, 20, 27, 32, 39, 44, 51, 56, 63, 68, 75, 80, 87, 92, 99,  104, 111, 116, 123, 128, 135, 140,
    4, 11, 16, 23, 28, 35, 40, 47, 52, 59, 64, 71, 76, 83, 88, 95, 100, 107, 112, 119, 124, 131, 136, 143,
    5, 10, 17, 22, 29, 34, 41, 46, 53, 58, 65, 70, 77, 82, 89, 94, 101, 106, 113, 118, 125, 130, 137, 142,
};

int parity(uint32_t x) {
    int p = 0;
    for (; x; x &= x - 1) p ^= 1;
    return p;
}

bool channel(const uint8_t *frame, const int *offsets, int n, int d, uint8_t *data) {
    uint8_t dibits[180];
    for (int i = 0; i < n; ++i) dibits[i] = frame[offsets[i]] & 3;
    uint8_t bits[23] = {};
    if (!conv_k5_undo(dibits, n, bits)) return false;
    uint16_t received = static_cast<uint16_t>((bits[d] << 8) | bits[d + 1]);
    if (ysf_encode::crc16_compute(bits, d) != received) return false;
    uint8_t plain[23];
    ysf_encode::pn9_whiten(bits, plain, 8 * d);
    std::memcpy(data, plain, static_cast<size_t>(d));
    return true;
}

}  // namespace

bool conv_k5_undo(const uint8_t *dibits, int n, uint8_t *bits) {
    int state = 0;
    for (int i = 0; i < n; ++i) {
        int b = ((dibits[i] >> 1) ^ (state >> 1) ^ state) & 1;  // high bit = b ^ p1 ^ p0
        if (expected_dibit[2 * state + b] != dibits[i]) return false;
        put_bit(bits, i, b);
        state = (state >> 1) | (b << 3);
    }
    return true;
}

uint32_t golay_24_12_syndrome(uint32_t word) {
    uint32_t s = 0;
    for (int r = 0; r < 12; ++r) s |= static_cast<uint32_t>(parity(word & parity_check_rows[r])) << (11 - r);
    return s;
}

bool fich_information(const uint8_t *frame, uint32_t &information) {
    uint8_t dibits[100];
    for (int k = 0; k < 100; ++k) dibits[k] = frame[20 + 20 * (k % 5) + k / 5] & 3;
    uint8_t bits[13] = {};
    if (!conv_k5_undo(dibits, 100, bits)) return false;
    uint64_t data = 0;
    for (int w = 0; w < 4; ++w) {
        uint32_t word = 0;
        for (int i = 0; i < 24; ++i) word = (word << 1) | static_cast<uint32_t>(bit_at(bits, 24 * w + i));
        if (golay_24_12_syndrome(word) != 0) return false;
        data = (data << 12) | (word >> 12);
    }
    information = static_cast<uint32_t>(data >> 16);
    uint8_t info_bytes[4] = {static_cast<uint8_t>(information >> 24), static_cast<uint8_t>(information >> 16),
                             static_cast<uint8_t>(information >> 8), static_cast<uint8_t>(information)};
    return ysf_encode::crc16_compute(info_bytes, 4) == static_cast<uint16_t>(data);
}

bool header_channel(const uint8_t *frame, int c, uint8_t data[20]) {
    int offsets[180];
    for (int l = 0; l < 180; ++l) {
        int f = 20 * (l % 9) + l / 9;
        offsets[l] = 120 + 72 * (f / 36) + 36 * (c - 1) + f % 36;
    }
    return channel(frame, offsets, 180, 20, data);
}

bool mode2_channel(const uint8_t *frame, uint8_t data[10]) {
    int offsets[100];
    for (int i = 0; i < 100; ++i) offsets[i] = 120 + 72 * (i % 5) + i / 5;
    return channel(frame, offsets, 100, 10, data);
}

void vd1_voice(const uint8_t *frame, int block, uint8_t codec[12]) {
    uint8_t bits[72];
    symbols_to_bits(frame + 156 + 72 * block, 36, bits);
    place_voice_frame(bits, codec);
}

void vd2_voice(const uint8_t *frame, int block, uint8_t codec[7]) {
    uint8_t received[104], deinterleaved[13] = {}, descrambled[13];
    symbols_to_bits(frame + 140 + 72 * block, 52, received);
    for (int l = 0; l < 104; ++l) put_bit(deinterleaved, l, received[4 * (l % 26) + l / 26]);
    ysf_encode::pn9_whiten(deinterleaved, descrambled, 104);
    std::memset(codec, 0, 7);
    for (int j = 0; j < 27; ++j) {
        int votes = bit_at(descrambled, 3 * j) + bit_at(descrambled, 3 * j + 1) + bit_at(descrambled, 3 * j + 2);
        put_bit(codec, j, votes >= 2);
    }
    for (int j = 27; j < 49; ++j) put_bit(codec, j, bit_at(descrambled, 81 + j - 27));
}

void vfr_voice(const uint8_t *frame, int block, uint8_t codec[18]) {
    uint8_t received[144];
    symbols_to_bits(frame + 120 + 72 * block, 72, received);
    std::memset(codec, 0, 18);
    for (int i = 0; i < 144; ++i) put_bit(codec, i, received[vfr_table[i]]);
    unsigned p = 0;
    for (int i = 0; i < 12; ++i) p = (p << 1) | static_cast<unsigned>(bit_at(codec, i));
    p *= 16;
    for (int n = 1; n <= 114; ++n) {
        p = (173 * p + 13849) % 65536;
        put_bit(codec, 22 + n, bit_at(codec, 22 + n) ^ static_cast<int>((p >> 15) & 1));
    }
}

bool position(const uint8_t d[9], float &latitude, float &longitude) {
    int digit[6];
    for (int i = 0; i < 6; ++i) {
        digit[i] = d[i] & 15;
        if (digit[i] > 9) return false;
    }
    float lat = static_cast<float>(10 * digit[0] + digit[1]);
    lat += static_cast<float>(digit[2]) / 6.0f;
    lat += static_cast<float>(digit[3]) / 60.0f;
    lat += static_cast<float>(digit[4]) / 600.0f;
    lat += static_cast<float>(digit[5]) / 6000.0f;
    int lat_sign = d[3] >> 4;
    if (lat_sign == 3)
        lat = -lat;
    else if (lat_sign != 5)
        return false;
    int degrees;
    int selector = d[4] >> 4;
    if (selector == 3 && d[6] >= 38 && d[6] <= 127)
        degrees = d[6] - 28;
    else if (selector == 5 && d[6] >= 118 && d[6] <= 127)
        degrees = d[6] - 118;
    else if (selector == 5 && d[6] >= 108 && d[6] <= 117)
        degrees = d[6] - 8;
    else if (selector == 5 && d[6] >= 38 && d[6] <= 107)
        degrees = d[6] + 72;
    else
        return false;
    int minutes;
    if (d[7] >= 88 && d[7] <= 97)
        minutes = d[7] - 88;
    else if (d[7] >= 38 && d[7] <= 87)
        minutes = d[7] - 28;
    else
        return false;
    if (d[8] < 28 || d[8] > 127) return false;
    int hundredths = d[8] - 28;
    float lon = static_cast<float>(degrees);
    lon += static_cast<float>(minutes) / 60.0f;
    lon += static_cast<float>(hundredths) / 6000.0f;
    int lon_sign = d[5] >> 4;
    if (lon_sign == 5)
        lon = -lon;
    else if (lon_sign != 3)
        return false;
    if (lat > 90.0f || lat < -90.0f || lon > 180.0f || lon < -180.0f) return false;
    latitude = lat;
    longitude = lon;
    return true;
}

}  // namespace reference
