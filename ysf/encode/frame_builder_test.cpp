// SPDX-License-Identifier: MIT
// Whole frames and transmissions.

#include "frame_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec_frame.h"
#include "reference_decode.h"

using namespace ysf_encode;

namespace {

struct decoded_fich {
    int fi, fn, ft, dt;
};

decoded_fich fich_of(const uint8_t *frame) {
    uint32_t info = 0;
    EXPECT_TRUE(reference::fich_information(frame, info));
    return {static_cast<int>(info >> 30), static_cast<int>((info >> 19) & 7), static_cast<int>((info >> 16) & 7),
            static_cast<int>((info >> 8) & 3)};
}

transmission_plan plan_of(uint8_t data_type) {
    transmission_plan plan;
    plan.data_type = data_type;
    plan.calls.target = call_sign("ALL");
    plan.calls.source = call_sign("DL1ABC");
    plan.calls.down = call_sign("DB0XYZ");
    plan.calls.up = call_sign("DM0UP");
    return plan;
}

// The tagged codec frame stream that a receiver following the
// communication frames writes, from the reference decoders; a first
// voice full-rate frame after a header yields blocks 3 and 4 only.
std::vector<uint8_t> received_voice(const transmission &t, bool header) {
    std::vector<uint8_t> stream;
    bool after_header = false;
    for (int f = 0; f < t.frames; ++f) {
        const uint8_t *frame = t.symbols.data() + 480 * f;
        decoded_fich fich = fich_of(frame);
        if (fich.fi == 0) after_header = header;
        if (fich.fi != 1) continue;
        int size = codec_frame_size(static_cast<uint8_t>(fich.dt));
        int first = (fich.dt == 3 && after_header) ? 3 : 0;
        for (int b = first; b < 5; ++b) {
            uint8_t codec[18];
            if (fich.dt == 0) reference::vd1_voice(frame, b, codec);
            if (fich.dt == 2) reference::vd2_voice(frame, b, codec);
            if (fich.dt == 3) reference::vfr_voice(frame, b, codec);
            stream.push_back(static_cast<uint8_t>(fich.dt));
            stream.insert(stream.end(), codec, codec + size);
        }
        if (fich.dt == 3) after_header = false;
    }
    return stream;
}

std::string text(const uint8_t *p, int n) { return std::string(reinterpret_cast<const char *>(p), n); }

}  // namespace

TEST(FrameBuilder, TransmissionLayoutInEveryVoiceMode) {
    for (uint8_t dt : {0, 2, 3}) {
        transmission t;
        ASSERT_TRUE(build_transmission(plan_of(dt), t));
        ASSERT_EQ(t.frames, 18);
        ASSERT_EQ(t.symbols.size(), 18u * 480);
        for (uint8_t s : t.symbols) ASSERT_LE(s, 3);
        for (int f = 0; f < t.frames; ++f) {
            const uint8_t *frame = t.symbols.data() + 480 * f;
            ASSERT_EQ(std::memcmp(frame, frame_sync, 20), 0) << "frame " << f;
            decoded_fich fich = fich_of(frame);
            int expected_fi = f == 0 ? 0 : f == t.frames - 1 ? 2 : 1;
            EXPECT_EQ(fich.fi, expected_fi) << f;
            EXPECT_EQ(fich.dt, dt);
            EXPECT_EQ(fich.ft, 7);
            EXPECT_EQ(fich.fn, expected_fi == 1 ? (f - 1) % 8 : 0) << f;
        }
        // Header and terminator carry the four call signs.
        for (const uint8_t *frame : {t.symbols.data(), t.symbols.data() + 480 * 17}) {
            uint8_t data[20];
            ASSERT_TRUE(reference::header_channel(frame, 1, data));
            EXPECT_EQ(text(data, 20), "ALL       DL1ABC    ");
            ASSERT_TRUE(reference::header_channel(frame, 2, data));
            EXPECT_EQ(text(data, 20), "DB0XYZ    DM0UP     ");
        }
        EXPECT_EQ(received_voice(t, true), t.voice_records) << int(dt);
        int records = dt == 3 ? 2 + 15 * 5 : 16 * 5;
        EXPECT_EQ(t.voice_records.size(), static_cast<size_t>(records * (1 + codec_frame_size(dt))));
    }
}

TEST(FrameBuilder, Mode2DataChannelCyclesCallSignsAndTheRadioBlock) {
    transmission_plan plan = plan_of(2);
    plan.has_position = true;
    plan.latitude = 51.502;
    plan.longitude = -0.125;
    transmission t;
    ASSERT_TRUE(build_transmission(plan, t));
    const std::string expected[4] = {"ALL       ", "DL1ABC    ", "DB0XYZ    ", "DM0UP     "};
    uint8_t radio_block[20] = {};
    for (int n = 0; n < 16; ++n) {
        uint8_t data[10];
        ASSERT_TRUE(reference::mode2_channel(t.symbols.data() + 480 * (n + 1), data)) << n;
        int fn = n % 8;
        if (fn < 4) {
            EXPECT_EQ(text(data, 10), expected[fn]);
        } else if (fn < 6) {
            EXPECT_EQ(text(data, 10), std::string(10, '\0'));
        } else {
            std::memcpy(radio_block + 10 * (fn - 6), data, 10);
        }
    }
    const uint8_t block[20] = {0x00, 0x22, 0x62, 0x5F, 0x2B, 0x35, 0x31, 0x33, 0x50, 0x51,
                               0x52, 0x76, 0x5F, 0x4E, 0x00, 0x00, 0x00, 0x00, 0x03, 0xC0};
    EXPECT_EQ(std::memcmp(radio_block, block, 20), 0);

    plan.has_position = false;
    plan.radio_model = 0x24;
    ASSERT_TRUE(build_transmission(plan, t));
    uint8_t half[10];
    ASSERT_TRUE(reference::mode2_channel(t.symbols.data() + 480 * 7, half));
    EXPECT_EQ(half[1], 0x22);
    EXPECT_EQ(half[2], 0x61);
    EXPECT_EQ(half[4], 0x24);
}

TEST(FrameBuilder, Mode1DataChannelCarriesCallSignsInFramesZeroAndOne) {
    transmission t;
    ASSERT_TRUE(build_transmission(plan_of(0), t));
    for (int n = 0; n < 16; ++n) {
        uint8_t data[20];
        ASSERT_TRUE(reference::header_channel(t.symbols.data() + 480 * (n + 1), 1, data)) << n;
        const std::string expected = n % 8 == 0   ? "ALL       DL1ABC    "
                                     : n % 8 == 1 ? "DB0XYZ    DM0UP     "
                                                  : std::string(20, '\0');
        EXPECT_EQ(text(data, 20), expected) << n;
    }
}

// A known V/D mode 1 data channel, by hand. Data bytes equal to the first
// 160 whitening bits whiten to zeros, whose CRC (register from 0, inverted)
// is FFFF. The K=5 code sends 160 dibits 0 from state 0; the sixteen 1 bits
// give 3 (state 8), 2 (12), 3 (14), 1 (15) and twelve times 2 (staying in
// 15); the zero tail gives 1 (7), 0 (3), 1 (1), 3 (0). Coded dibit l goes to
// frame offset 120 + 72 (F / 36) + F % 36, F = 20 (l % 9) + l / 9, so the
// twenty non-zero dibits l = 160..179 lie at the offsets below; every other
// symbol of the 36-symbol halves is 0.
TEST(FrameBuilder, Mode1DataChannelKnownVector) {
    // The whitening register x^9 + x^5 + 1 from 1C9, output bit 0 first.
    uint8_t data[20] = {};
    unsigned s = 0x1C9;
    for (int i = 0; i < 160; ++i) {
        data[i / 8] = static_cast<uint8_t>(data[i / 8] | (s & 1) << (7 - i % 8));
        s = (s >> 1) | (((s ^ (s >> 4)) & 1) << 8);
    }
    ASSERT_EQ(text(data, 4), "\x93\xD7\x51\x21");  // the sequence's known start

    fich_fields fich;
    fich.fi = fich_fi_communication;
    fich.dt = fich_dt_vd_mode1;
    uint8_t frame[frame_symbols];
    build_communication_frame(fich, nullptr, 0, data, frame);
    const int offsets[20] = {421, 441, 138, 194, 214, 270, 290, 346, 366, 422,
                             442, 139, 195, 215, 271, 291, 347, 367, 423, 443};
    const uint8_t values[20] = {3, 2, 3, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 0, 1, 3};
    uint8_t expected[frame_symbols] = {};
    for (int i = 0; i < 20; ++i) expected[offsets[i]] = values[i];
    for (int b = 0; b < 5; ++b)
        for (int k = 0; k < 36; ++k) {
            int at = 120 + 72 * b + k;
            ASSERT_EQ(frame[at], expected[at]) << "block " << b << " symbol " << k;
        }
}

TEST(FrameBuilder, GivenVoiceIsCarriedInOrderAndPadded) {
    struct voice_case {
        uint8_t dt;
        bool header;
        int frames_given, expected_comm_frames, expected_records;
    };
    const voice_case cases[] = {
        {2, true, 7, 2, 10}, {0, true, 5, 1, 5}, {0, false, 1, 1, 5},
        {3, true, 2, 1, 2},  {3, true, 3, 2, 7}, {3, false, 3, 1, 5},
    };
    for (const auto &c : cases) {
        transmission_plan plan = plan_of(c.dt);
        plan.header = c.header;
        int size = codec_frame_size(c.dt);
        for (int i = 0; i < c.frames_given; ++i) {
            uint8_t codec[18];
            test_voice_frame(c.dt, 100 + i, codec);
            plan.voice.insert(plan.voice.end(), codec, codec + size);
        }
        transmission t;
        ASSERT_TRUE(build_transmission(plan, t));
        EXPECT_EQ(t.frames, c.expected_comm_frames + (c.header ? 1 : 0) + 1) << int(c.dt);
        ASSERT_EQ(t.voice_records.size(), static_cast<size_t>(c.expected_records * (size + 1)));
        for (int r = 0; r < c.expected_records; ++r) {
            const uint8_t *record = t.voice_records.data() + r * (size + 1);
            EXPECT_EQ(record[0], c.dt);
            std::vector<uint8_t> want(static_cast<size_t>(size), 0);
            if (r < c.frames_given) want.assign(plan.voice.begin() + r * size, plan.voice.begin() + (r + 1) * size);
            EXPECT_EQ(std::vector<uint8_t>(record + 1, record + 1 + size), want) << int(c.dt) << " record " << r;
        }
        EXPECT_EQ(received_voice(t, c.header), t.voice_records);
    }
}

TEST(FrameBuilder, PlansThatCannotBeSentAreRefused) {
    transmission kept;
    ASSERT_TRUE(build_transmission(plan_of(0), kept));
    std::vector<transmission_plan> bad(5, plan_of(2));
    bad[0].data_type = 1;
    bad[1].data_type = 4;
    bad[2].voice.assign(8, 0);  // not a whole number of 7-byte frames
    bad[3].has_position = true;
    bad[3].latitude = 10;
    bad[3].longitude = 180.0;  // beyond the degree code
    bad[4].communication_frames = -1;
    for (const auto &plan : bad) {
        transmission t = kept;
        EXPECT_FALSE(build_transmission(plan, t));
        EXPECT_EQ(t.symbols, kept.symbols) << "output untouched";
    }
    transmission_plan bare = plan_of(3);
    bare.header = false;
    bare.terminator = false;
    bare.communication_frames = 3;
    transmission t;
    ASSERT_TRUE(build_transmission(bare, t));
    EXPECT_EQ(t.frames, 3);
    EXPECT_EQ(t.voice_records.size(), 15u * 19);
}

TEST(FrameBuilder, TestVoicePatternDiffersFromFrameToFrame) {
    for (uint8_t dt : {0, 2, 3}) {
        int size = codec_frame_size(dt);
        uint8_t a[18] = {}, b[18] = {};
        test_voice_frame(dt, 4, a);
        test_voice_frame(dt, 5, b);
        EXPECT_NE(std::memcmp(a, b, static_cast<size_t>(size)), 0);
        test_voice_frame(dt, 4, b);
        EXPECT_EQ(std::memcmp(a, b, static_cast<size_t>(size)), 0);
    }
    uint8_t untouched[18] = {};
    test_voice_frame(1, 0, untouched);
    EXPECT_EQ(std::count(untouched, untouched + 18, 0), 18);
}
