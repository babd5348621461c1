// SPDX-License-Identifier: MIT
#include "voice_frame_table.h"

#include <gtest/gtest.h>

#include <set>

#include "codec_frame.h"

TEST(VoiceFrameTable, PositionsAreDistinctAndOnlyTheCodedFields) {
    std::set<int> seen(voice_frame_table, voice_frame_table + 72);
    EXPECT_EQ(seen.size(), 72u);
    for (int p : seen) {
        bool coded = p < 47 || (p >= 48 && p < 59) || (p >= 72 && p < 86);
        EXPECT_TRUE(coded) << p;
    }
}

TEST(VoiceFrameTable, AllOnesFrameBytes) {
    uint8_t bits[72];
    for (uint8_t &b : bits) b = 1;
    uint8_t frame[12];
    place_voice_frame(bits, frame);
    const uint8_t expected[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(frame[i], expected[i]) << i;
}

TEST(VoiceFrameTable, ExtractUndoesPlace) {
    uint8_t bits[72], back[72], frame[12];
    for (int i = 0; i < 72; ++i) bits[i] = static_cast<uint8_t>((i * 7 + i / 5) & 1);
    place_voice_frame(bits, frame);
    extract_voice_frame(frame, back);
    for (int i = 0; i < 72; ++i) EXPECT_EQ(back[i], bits[i]) << i;
    // Received bit 0 is row 0 column 23, bit 1 is row 0 column 5.
    uint8_t one[72] = {1};
    place_voice_frame(one, frame);
    EXPECT_EQ(frame[2], 0x01);
}

TEST(CodecFrame, SizesAndImbeParameterBits) {
    EXPECT_EQ(codec_frame_size(0), 12);
    EXPECT_EQ(codec_frame_size(2), 7);
    EXPECT_EQ(codec_frame_size(3), 18);
    for (int m : {1, 4, 255}) EXPECT_EQ(codec_frame_size(static_cast<uint8_t>(m)), 0);
    EXPECT_EQ(imbe_parameter_frame_bit(0), 0);
    EXPECT_EQ(imbe_parameter_frame_bit(11), 11);
    EXPECT_EQ(imbe_parameter_frame_bit(12), 23);
    EXPECT_EQ(imbe_parameter_frame_bit(47), 80);
    EXPECT_EQ(imbe_parameter_frame_bit(48), 92);
    EXPECT_EQ(imbe_parameter_frame_bit(59), 107);
    EXPECT_EQ(imbe_parameter_frame_bit(70), 122);
    EXPECT_EQ(imbe_parameter_frame_bit(80), 132);
    EXPECT_EQ(imbe_parameter_frame_bit(81), 137);
    EXPECT_EQ(imbe_parameter_frame_bit(87), 143);
}
