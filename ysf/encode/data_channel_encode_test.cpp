// SPDX-License-Identifier: MIT
// Header and V/D mode 2 data channels.

#include "data_channel_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "crc16_encode.h"
#include "pn9_whiten.h"
#include "reference_decode.h"

using namespace ysf_encode;

TEST(DataChannelEncode, CodedSequenceIsWhitenedDataAndCrc) {
    uint8_t data[10] = {'D', 'L', '1', 'A', 'B', 'C', ' ', ' ', ' ', ' '};
    uint8_t coded[100];
    ASSERT_TRUE(encode_data_channel(data, 10, coded));
    uint8_t untouched[4] = {9, 9, 9, 9};
    EXPECT_FALSE(encode_data_channel(data, 0, untouched));
    EXPECT_FALSE(encode_data_channel(data, 30, untouched));
    EXPECT_EQ(untouched[0], 9);
    uint8_t bits[13] = {};
    ASSERT_TRUE(reference::conv_k5_undo(coded, 100, bits));
    uint8_t whitened[10];
    pn9_whiten(data, whitened, 80);
    EXPECT_EQ(std::memcmp(bits, whitened, 10), 0);
    uint16_t crc = crc16_compute(whitened, 10);
    EXPECT_EQ(bits[10], crc >> 8);
    EXPECT_EQ(bits[11], crc & 0xFF);
    EXPECT_EQ(bits[12], 0) << "tail";
}

TEST(DataChannelEncode, HeaderChannelsRoundTripAndShareTheBlocks) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        uint8_t one[20], two[20];
        for (auto &b : one) b = static_cast<uint8_t>(rng());
        for (auto &b : two) b = static_cast<uint8_t>(rng());
        uint8_t frame[frame_symbols];
        std::memset(frame, 0xEE, sizeof frame);
        put_header_channel(one, 1, frame);
        put_header_channel(two, 2, frame);
        // Together the channels fill every block symbol and nothing else.
        for (int i = 0; i < frame_symbols; ++i) ASSERT_EQ(frame[i] == 0xEE, i < 120) << i;
        uint8_t back[20];
        ASSERT_TRUE(reference::header_channel(frame, 1, back));
        EXPECT_EQ(std::memcmp(back, one, 20), 0);
        ASSERT_TRUE(reference::header_channel(frame, 2, back));
        EXPECT_EQ(std::memcmp(back, two, 20), 0);
    }
    uint8_t frame[frame_symbols] = {}, untouched[frame_symbols] = {}, data[20] = {1};
    put_header_channel(data, 0, frame);
    put_header_channel(data, 3, frame);
    EXPECT_EQ(std::memcmp(frame, untouched, frame_symbols), 0) << "no channel 0 or 3";
}

TEST(DataChannelEncode, Mode2ChannelRoundTripsInTheFirstTwentySymbolsOfEachBlock) {
    for (int fill : {0x00, 0x20, 0xFF}) {
        uint8_t data[10];
        std::memset(data, fill, 10);
        data[9] = 0x5A;
        uint8_t frame[frame_symbols];
        std::memset(frame, 0xEE, sizeof frame);
        put_mode2_channel(data, frame);
        for (int i = 0; i < frame_symbols; ++i) {
            bool in_channel = i >= 120 && (i - 120) % 72 < 20;
            ASSERT_EQ(frame[i] != 0xEE, in_channel) << i;
        }
        uint8_t back[10];
        ASSERT_TRUE(reference::mode2_channel(frame, back));
        EXPECT_EQ(std::memcmp(back, data, 10), 0);
        // One wrong symbol breaks the error-free reference: the channel really
        // sits where the receiver looks.
        frame[120 + 72 * 3 + 7] ^= 1;
        EXPECT_FALSE(reference::mode2_channel(frame, back));
    }
}
