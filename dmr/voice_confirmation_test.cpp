// SPDX-License-Identifier: MIT
// Voice only where the voice burst's structure confirms it: an inverted
// channel, whose data syncs read as voice syncs, gives no voice and no voice
// line; calls of the right polarity, with or without a voice LC header,
// keep every frame and line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder_fixture.h"
#include "emb.h"

namespace {

using namespace dmr_encode;

// The channel as a receiver sees it with the polarity reversed: +3 and -3,
// +1 and -1 change places, which flips the high bit of every dibit.
std::vector<uint8_t> inverted(std::vector<uint8_t> s) {
    for (uint8_t &v : s) v ^= 2;
    return s;
}

std::vector<uint8_t> call_channel(const call &c, const std::vector<codec_frame> &frames) {
    std::vector<burst> bursts = call_bursts(c, frames);
    std::vector<uint8_t> s = c.slot ? complete_channel(idle_bursts(2, burst_sync::bs_data, 1), bursts)
                                    : complete_channel(bursts, idle_bursts(2, burst_sync::bs_data, 1));
    return s;
}

TEST(voice_confirmation, an_inverted_channel_gives_no_voice_and_no_voice_line) {
    struct inverted_case {
        const char *name;
        int slot;
        bool mobile;
        int lc_headers;
    };
    const inverted_case cases[] = {
        {"base station, slot 0", 0, false, 1},
        {"base station, slot 1, three headers", 1, false, 3},
        {"mobile station, slot 0", 0, true, 1},
        {"mobile station, late entry", 1, true, 0},
    };
    for (const inverted_case &k : cases) {
        SCOPED_TRACE(k.name);
        call c;
        c.slot = k.slot;
        c.mobile = k.mobile;
        c.lc_headers = k.lc_headers;
        decoder_fixture f;
        f.feed(inverted(call_channel(c, test_pattern_frames(54))));
        EXPECT_EQ(f.voice().size(), 0u);
        EXPECT_EQ(f.metadata().find("sync:voice"), std::string::npos) << f.metadata();
        EXPECT_EQ(f.metadata().find("source:"), std::string::npos);
        EXPECT_EQ(f.metadata().find("signal:"), std::string::npos);
        EXPECT_EQ(f.metadata().find("csbk:"), std::string::npos);
    }
}

TEST(voice_confirmation, calls_of_the_right_polarity_keep_every_frame) {
    // With a voice LC header burst A opens voice at once; without one it is
    // held until the next burst's EMB, or a later one's when that EMB is
    // damaged, and then written before it.
    struct call_case {
        const char *name;
        int slot;
        bool mobile;
        int lc_headers;
        int damaged_embs;  // EMBs of bursts B, C, .. of the first superframe made invalid
    };
    const call_case cases[] = {
        {"header, slot 0", 0, false, 1, 0},
        {"late entry, slot 1", 1, false, 0, 0},
        {"late entry, mobile, B damaged", 0, true, 0, 1},
        {"late entry, B to E damaged", 1, false, 0, 4},
    };
    for (const call_case &k : cases) {
        SCOPED_TRACE(k.name);
        call c;
        c.slot = k.slot;
        c.mobile = k.mobile;
        c.lc_headers = k.lc_headers;
        const std::vector<codec_frame> frames = test_pattern_frames(36);
        std::vector<uint8_t> s = call_channel(c, frames);
        // Timeslot t has its centre field at 66 + 144 t; the call's bursts
        // are the timeslots of its slot, from t = slot on.
        for (int b = 1; b <= k.damaged_embs; ++b) {
            const std::size_t centre = 66 + 144 * static_cast<std::size_t>(c.slot + 2 * (k.lc_headers + b));
            // Every EMB symbol's high bit flipped: the syndrome is that of
            // 0xAAAA whatever the codeword, and no pattern of two errors has it.
            for (int i : {0, 1, 2, 3, 20, 21, 22, 23}) s[centre + static_cast<std::size_t>(i)] ^= 2;
            uint16_t word = 0;
            for (int i = 0; i < 4; ++i) word = static_cast<uint16_t>((word << 2) | (s[centre + i] & 3));
            for (int i = 20; i < 24; ++i) word = static_cast<uint16_t>((word << 2) | (s[centre + i] & 3));
            ASSERT_FALSE(decode_emb(word).valid);
        }
        decoder_fixture f;
        f.feed(s);
        EXPECT_EQ(f.voice(), frame_bytes(frames));
        const std::string slot = "protocol:DMR;slot:" + std::to_string(c.slot) + ";";
        const std::string meta = f.metadata();
        const std::size_t voice_line = meta.find(slot + "sync:voice;");
        ASSERT_NE(voice_line, std::string::npos) << meta;
        if (k.lc_headers > 0) {
            EXPECT_LT(meta.find(slot + "sync:data;type:group;source:2001;target:9;\n"), voice_line);
        }
        EXPECT_EQ(meta.find("lost sync"), std::string::npos);
    }
}

TEST(voice_confirmation, a_lone_voice_sync_is_dropped_and_gives_the_lock_back) {
    // A voice-sync burst followed in its slot by data bursts opens nothing:
    // its frames are not written, and the other slot's call takes the lock.
    call other;
    other.slot = 1;
    other.lc_headers = 0;
    const std::vector<codec_frame> frames = test_pattern_frames(18);
    uint8_t lone[36];
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 12; ++i) lone[12 * k + i] = test_pattern_frame(500 + k)[i];
    std::vector<burst> slot0 = {voice_sync_burst(burst_sync::bs_voice, lone)};
    for (const burst &b : idle_bursts(8, burst_sync::bs_data, 1)) slot0.push_back(b);
    std::vector<burst> slot1 = idle_bursts(2, burst_sync::bs_data, 1);
    for (const burst &b : call_bursts(other, frames)) slot1.push_back(b);
    decoder_fixture f;
    f.feed(complete_channel(slot0, slot1));
    EXPECT_EQ(f.voice(), frame_bytes(frames));
    EXPECT_EQ(f.metadata().find("protocol:DMR;slot:0;sync:voice;"), std::string::npos);
}

}  // namespace
