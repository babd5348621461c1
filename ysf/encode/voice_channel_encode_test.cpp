// SPDX-License-Identifier: MIT
// Voice channels of the three voice modes.

#include "voice_channel_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bits.h"
#include "frame_builder.h"
#include "pn9_whiten.h"
#include "reference_decode.h"

using namespace ysf_encode;

namespace {

std::vector<uint8_t> bytes(const uint8_t *p, int n) { return std::vector<uint8_t>(p, p + n); }

}  // namespace

TEST(VoiceChannelEncode, Mode1KnownFramesAndRoundTrip) {
    const uint8_t zero[12] = {};
    const uint8_t ones[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00};
    uint8_t symbols[vd1_voice_symbols];
    encode_vd1_voice(zero, symbols);
    EXPECT_EQ(bytes(symbols, 36), std::vector<uint8_t>(36, 0));
    encode_vd1_voice(ones, symbols);
    EXPECT_EQ(bytes(symbols, 36), std::vector<uint8_t>(36, 3));
    uint8_t all_set[12];
    std::memset(all_set, 0xFF, 12);
    encode_vd1_voice(all_set, symbols);
    EXPECT_EQ(bytes(symbols, 36), std::vector<uint8_t>(36, 3)) << "bits outside the 72 positions are not sent";

    for (int index = 0; index < 20; ++index) {
        uint8_t codec[12], frame[frame_symbols] = {}, back[12];
        test_voice_frame(0, index, codec);
        put_vd1_voice(codec, index % 5, frame);
        reference::vd1_voice(frame, index % 5, back);
        EXPECT_EQ(bytes(back, 12), bytes(codec, 12)) << index;
    }
}

TEST(VoiceChannelEncode, Mode2KnownFrameAndRoundTrip) {
    // All-zero symbols carry the parameter frame 3C 2B D7 7E 0F 7C 00: the
    // reference receiver agrees, and encoding that frame gives symbols that
    // differ from zero by at most one bit in each triple of the first 81
    // whitened bits and not at all in bits 81..102.
    uint8_t frame[frame_symbols] = {}, back[7];
    reference::vd2_voice(frame, 0, back);
    const uint8_t known[7] = {0x3C, 0x2B, 0xD7, 0x7E, 0x0F, 0x7C, 0x00};
    ASSERT_EQ(bytes(back, 7), bytes(known, 7));
    uint8_t symbols[vd2_voice_symbols];
    encode_vd2_voice(known, symbols);
    uint8_t sent[104], whitened[13] = {};
    symbols_to_bits(symbols, 52, sent);
    for (int l = 0; l < 104; ++l) put_bit(whitened, l, sent[4 * (l % 26) + l / 26]);
    for (int j = 0; j < 27; ++j)
        EXPECT_LE(bit_at(whitened, 3 * j) + bit_at(whitened, 3 * j + 1) + bit_at(whitened, 3 * j + 2), 1) << j;
    for (int i = 81; i < 103; ++i) EXPECT_EQ(bit_at(whitened, i), 0) << i;
    EXPECT_EQ(bit_at(whitened, 103), pn9_bit(103)) << "the unused last bit is sent as 0 before whitening";

    for (int index = 0; index < 20; ++index) {
        uint8_t codec[7], out[frame_symbols] = {};
        test_voice_frame(2, index, codec);
        put_vd2_voice(codec, index % 5, out);
        reference::vd2_voice(out, index % 5, back);
        EXPECT_EQ(bytes(back, 7), bytes(codec, 7)) << index;
        // Each repeated bit really is sent three times: one flipped copy is outvoted.
        out[140 + 72 * (index % 5) + 5] ^= 2;
        reference::vd2_voice(out, index % 5, back);
        EXPECT_EQ(bytes(back, 7), bytes(codec, 7)) << index;
    }
}

TEST(VoiceChannelEncode, FullRateKnownFrameAndRoundTrip) {
    // The pseudo-noise of seed 0 is exactly what all-zero symbols carry.
    const uint8_t noise[18] = {0x00, 0x00, 0x00, 0x85, 0x98, 0x8E, 0x25, 0xB2, 0xB5,
                               0x69, 0xFA, 0xA1, 0xD0, 0xEB, 0xF9, 0x31, 0x43, 0x80};
    uint8_t symbols[vfr_voice_symbols];
    encode_vfr_voice(noise, symbols);
    EXPECT_EQ(bytes(symbols, 72), std::vector<uint8_t>(72, 0));
    uint8_t copy[18];
    std::memcpy(copy, noise, 18);
    imbe_pseudo_noise(copy);
    EXPECT_EQ(bytes(copy, 18), std::vector<uint8_t>(18, 0)) << "the noise is its own inverse";

    for (int index = 0; index < 20; ++index) {
        uint8_t codec[18], frame[frame_symbols] = {}, back[18];
        test_voice_frame(3, index, codec);
        put_vfr_voice(codec, index % 5, frame);
        reference::vfr_voice(frame, index % 5, back);
        EXPECT_EQ(bytes(back, 18), bytes(codec, 18)) << index;
    }
}

TEST(VoiceChannelEncode, VoiceStaysInsideItsBlockPart) {
    // Mode 1 voice in block symbols 36..71, mode 2 in 20..71, full-rate in all
    // 72; block numbers outside 0..4 write nothing.
    struct placement {
        int data_type, first, size;
    };
    for (placement p : {placement{0, 36, 12}, placement{2, 20, 7}, placement{3, 0, 18}}) {
        for (int block = -1; block <= 5; ++block) {
            uint8_t frame[frame_symbols];
            std::memset(frame, 0xEE, sizeof frame);
            uint8_t codec[18];
            test_voice_frame(static_cast<uint8_t>(p.data_type), block + 1, codec);
            if (p.data_type == 0) put_vd1_voice(codec, block, frame);
            if (p.data_type == 2) put_vd2_voice(codec, block, frame);
            if (p.data_type == 3) put_vfr_voice(codec, block, frame);
            for (int i = 0; i < frame_symbols; ++i) {
                int start = 120 + 72 * block + p.first;
                bool inside = block >= 0 && block < 5 && i >= start && i < 120 + 72 * (block + 1);
                ASSERT_EQ(frame[i] != 0xEE, inside) << p.data_type << " block " << block << " symbol " << i;
            }
        }
    }
}
