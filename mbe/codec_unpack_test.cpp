// SPDX-License-Identifier: MIT
#include "codec_unpack.h"

#include <gtest/gtest.h>

#include <vector>

#include "bits.h"
#include "voice_frame_table.h"

namespace {

// The IMBE parameter bits by code word: parameter bits [first, first + count)
// are frame bits [frame_first, frame_first + count); every other frame bit is
// a check bit.
struct imbe_field {
    int first;
    int frame_first;
    int count;
};
const imbe_field imbe_fields[] = {{0, 0, 12},   {12, 23, 12},  {24, 46, 12},  {36, 69, 12},
                                  {48, 92, 11}, {59, 107, 11}, {70, 122, 11}, {81, 137, 7}};

// The parameter bit that frame bit b carries, or -1 for a check bit.
int imbe_parameter_of_frame_bit(int b) {
    for (const imbe_field &f : imbe_fields)
        if (b >= f.frame_first && b < f.frame_first + f.count) return f.first + (b - f.frame_first);
    return -1;
}

std::vector<int> imbe_bits(const std::vector<uint8_t> &frame) {
    char d[imbe_parameter_bits];
    unpack_imbe_parameters(frame.data(), d);
    return std::vector<int>(d, d + imbe_parameter_bits);
}

std::vector<int> ones_at(int n, std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> v(static_cast<size_t>(n), 0);
    for (auto [a, b] : ranges)
        for (int i = a; i <= b; ++i) v[static_cast<size_t>(i)] = 1;
    return v;
}

}  // namespace

TEST(UnpackAmbeFrame, AllCodedBitsSetFillsTheFourCodeWordFields) {
    uint8_t received[ambe_coded_bits];
    for (uint8_t &b : received) b = 1;
    uint8_t frame[ambe_frame_bytes];
    place_voice_frame(received, frame);
    const uint8_t expected_bytes[ambe_frame_bytes] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE,
                                                      0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00};
    ASSERT_EQ(0, memcmp(frame, expected_bytes, sizeof frame));

    char fr[ambe_frame_rows][ambe_frame_columns];
    unpack_ambe_frame(frame, fr);
    const int row_length[ambe_frame_rows] = {24, 23, 11, 14};
    for (int r = 0; r < ambe_frame_rows; ++r)
        for (int c = 0; c < ambe_frame_columns; ++c) EXPECT_EQ(fr[r][c], c < row_length[r] ? 1 : 0) << r << "," << c;
}

TEST(UnpackAmbeFrame, EachFrameBitLandsInItsRowAndColumn) {
    for (int n = 0; n < 96; ++n) {
        uint8_t frame[ambe_frame_bytes] = {};
        put_bit(frame, n, 1);
        char fr[ambe_frame_rows][ambe_frame_columns];
        unpack_ambe_frame(frame, fr);
        for (int r = 0; r < ambe_frame_rows; ++r)
            for (int c = 0; c < ambe_frame_columns; ++c)
                ASSERT_EQ(fr[r][c], (r == n / 24 && c == n % 24) ? 1 : 0) << "bit " << n;
    }
}

TEST(UnpackAmbeParameters, FirstAndLastParameterBits) {
    // The frame of the tagged record 02 80 00 00 00 00 00 80.
    const uint8_t frame[ambe_parameter_frame_bytes] = {0x80, 0, 0, 0, 0, 0, 0x80};
    char d[ambe_parameter_bits];
    unpack_ambe_parameters(frame, d);
    for (int k = 0; k < ambe_parameter_bits; ++k) EXPECT_EQ(d[k], (k == 0 || k == 48) ? 1 : 0) << k;
    // The seven spare bits after bit 48 are never read.
    const uint8_t spare[ambe_parameter_frame_bytes] = {0, 0, 0, 0, 0, 0, 0x7F};
    unpack_ambe_parameters(spare, d);
    for (int k = 0; k < ambe_parameter_bits; ++k) EXPECT_EQ(d[k], 0) << k;
}

TEST(UnpackImbeParameters, KnownFrames) {
    struct {
        const char *name;
        std::vector<uint8_t> frame;
        std::vector<int> bits;
    } cases[] = {
        {"all ones", std::vector<uint8_t>(imbe_frame_bytes, 0xFF), ones_at(88, {{0, 87}})},
        {"byte 13 = 1F",
         [] {
             std::vector<uint8_t> f(imbe_frame_bytes, 0);
             f[13] = 0x1F;
             return f;
         }(),
         ones_at(88, {{59, 63}})},
        {"byte 17 = 7F",
         [] {
             std::vector<uint8_t> f(imbe_frame_bytes, 0);
             f[17] = 0x7F;
             return f;
         }(),
         ones_at(88, {{81, 87}})},
        {"check bits only",
         [] {
             std::vector<uint8_t> f(imbe_frame_bytes, 0);
             for (auto [a, b] : {std::pair{12, 22}, {35, 45}, {58, 68}, {81, 91}, {103, 106}, {118, 121}, {133, 136}})
                 for (int n = a; n <= b; ++n) put_bit(f.data(), n, 1);
             return f;
         }(),
         ones_at(88, {})},
    };
    for (const auto &c : cases) EXPECT_EQ(imbe_bits(c.frame), c.bits) << c.name;
}

TEST(UnpackImbeParameters, EachFrameBitIsItsParameterBitOrACheckBit) {
    for (int b = 0; b < imbe_frame_bits; ++b) {
        std::vector<uint8_t> frame(imbe_frame_bytes, 0);
        put_bit(frame.data(), b, 1);
        int k = imbe_parameter_of_frame_bit(b);
        std::vector<int> expected(88, 0);
        if (k >= 0) expected[static_cast<size_t>(k)] = 1;
        ASSERT_EQ(imbe_bits(frame), expected) << "frame bit " << b;
    }
}
