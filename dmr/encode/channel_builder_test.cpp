// SPDX-License-Identifier: MIT
// Whole bursts, calls and two-slot channel streams, read back the way a
// receiver reads them: timeslot by timeslot, CACH, centre field, slot type,
// BPTC, EMB, fragments and voice.

#include "channel_builder.h"

#include <gtest/gtest.h>

#include <set>

#include "cach_encoder.h"
#include "reference_decoder.h"
#include "rs_12_9_encoder.h"
#include "symbol_distance.h"
#include "sync_patterns.h"

using namespace dmr_encode;

namespace {

// What a receiver sees in one timeslot.
struct seen_burst {
    int tc = -1, busy = -1, cach_lcss = -1;
    int sync = -1;  // burst_sync as int, or -1 for an EMB
    int emb_cc = -1, emb_lcss = -1;
    uint32_t fragment = 0;
    int slot_cc = -1, data_type = -1;
    bool bptc_ok = false;
    std::vector<uint8_t> data;   // 12 BPTC bytes of a data burst
    std::vector<uint8_t> voice;  // 36 bytes of a voice burst
};

seen_burst read_timeslot(const uint8_t *t) {
    seen_burst s;
    uint8_t tact = reference::tact_of_cach(t);
    EXPECT_EQ(reference::syndrome(tact, reference::tact_rows, 3), 0u);
    s.busy = tact >> 6 & 1;
    s.tc = tact >> 5 & 1;
    s.cach_lcss = tact >> 3 & 3;
    const uint8_t *b = t + 12;
    const uint8_t *centre = b + 54;
    for (int k = 0; k < 4; ++k) {
        uint8_t pattern[24];
        place_sync(static_cast<burst_sync>(k), pattern);
        if (symbol_distance(pattern, centre, 24) == 0) s.sync = k;
    }
    if (s.sync < 0) {
        uint16_t emb = reference::emb_of_centre(centre);
        EXPECT_EQ(reference::syndrome(emb, reference::qr_rows, 9), 0u);
        s.emb_cc = emb >> 12;
        s.emb_lcss = emb >> 9 & 3;
        s.fragment = reference::fragment_of_centre(centre);
    }
    bool data = s.sync == int(burst_sync::bs_data) || s.sync == int(burst_sync::ms_data);
    if (data) {
        uint32_t st = reference::slot_type_of_burst(b);
        EXPECT_EQ(reference::syndrome(st, reference::golay_rows, 12), 0u);
        s.slot_cc = static_cast<int>(st >> 16);
        s.data_type = static_cast<int>(st >> 12 & 15);
        uint8_t info[25];
        reference::info_of_burst(b, info);
        s.data.resize(12);
        s.bptc_ok = reference::bptc_decode(info, s.data.data());
    } else {
        s.voice = reference::voice_of_burst(b);
    }
    return s;
}

// Splits a stream into per-slot lists of what a receiver sees, slot by TC.
std::vector<seen_burst> read_slot(const std::vector<uint8_t> &stream, int slot, int first_slot) {
    EXPECT_EQ(stream.size() % 144, 0u);
    std::vector<seen_burst> out;
    for (size_t i = 0; i + 144 <= stream.size(); i += 144) {
        seen_burst s = read_timeslot(stream.data() + i);
        EXPECT_EQ(s.tc, static_cast<int>((i / 144 + static_cast<size_t>(first_slot)) % 2)) << "timeslot " << i / 144;
        if (s.tc == slot) out.push_back(s);
    }
    return out;
}

std::vector<uint8_t> flatten(const std::vector<codec_frame> &frames) {
    std::vector<uint8_t> out;
    for (const auto &f : frames) out.insert(out.end(), f.begin(), f.end());
    return out;
}

std::vector<uint8_t> lc_bytes(uint8_t opcode, uint32_t target, uint32_t source) {
    return {opcode,
            0,
            0,
            uint8_t(target >> 16),
            uint8_t(target >> 8),
            uint8_t(target),
            uint8_t(source >> 16),
            uint8_t(source >> 8),
            uint8_t(source)};
}

// Checks a 12-byte full LC data block: LC bytes, then RS parity under mask.
void expect_full_lc(const seen_burst &s, const std::vector<uint8_t> &lc, uint8_t mask) {
    ASSERT_TRUE(s.bptc_ok);
    EXPECT_EQ(std::vector<uint8_t>(s.data.begin(), s.data.begin() + 9), lc);
    uint8_t word[12];
    std::copy(s.data.begin(), s.data.end(), word);
    for (int i = 9; i < 12; ++i) word[i] ^= mask;
    for (int p = 1; p <= 3; ++p) EXPECT_EQ(rs_12_9_evaluate(word, p), 0);
}

// Checks one slot's bursts against a call: headers, superframes, terminator.
void expect_call(const std::vector<seen_burst> &seen, const call &c, const std::vector<codec_frame> &frames) {
    const int data_sync = int(data_sync_of(c.mobile)), voice_sync = int(voice_sync_of(c.mobile));
    const std::vector<uint8_t> lc = lc_bytes(c.group ? 0 : 3, c.target, c.source);
    const std::vector<uint8_t> sent = flatten(call_frames(frames));
    const size_t superframes = sent.size() / (18 * 12);
    ASSERT_EQ(seen.size(), size_t(c.lc_headers) + 6 * superframes + (c.terminator ? 1 : 0));

    size_t i = 0;
    for (; i < size_t(c.lc_headers); ++i) {
        SCOPED_TRACE("header " + std::to_string(i));
        EXPECT_EQ(seen[i].sync, data_sync);
        EXPECT_EQ(seen[i].data_type, 1);
        EXPECT_EQ(seen[i].slot_cc, c.colour_code);
        expect_full_lc(seen[i], lc, rs_mask_voice_lc_header);
    }
    std::vector<uint8_t> voice;
    for (size_t sf = 0; sf < superframes; ++sf) {
        SCOPED_TRACE("superframe " + std::to_string(sf));
        EXPECT_EQ(seen[i].sync, voice_sync);
        uint8_t block[16];
        for (int k = 0; k < 6; ++k) {
            const seen_burst &s = seen[i + size_t(k)];
            voice.insert(voice.end(), s.voice.begin(), s.voice.end());
            if (k == 0) continue;
            EXPECT_EQ(s.sync, -1);
            EXPECT_EQ(s.emb_cc, c.colour_code);
            const int lcss[6] = {-1, 1, 3, 3, 2, 0};
            EXPECT_EQ(s.emb_lcss, lcss[k]) << "burst " << k;
            if (k == 5) {
                EXPECT_EQ(s.fragment, 0u);
            }
            if (k >= 1 && k <= 4)
                for (int j = 0; j < 4; ++j) block[4 * (k - 1) + j] = uint8_t(s.fragment >> (24 - 8 * j));
        }
        uint8_t back[9];
        ASSERT_TRUE(reference::embedded_lc_decode(block, back));
        EXPECT_EQ(std::vector<uint8_t>(back, back + 9), lc);
        i += 6;
    }
    EXPECT_EQ(voice, sent);
    if (c.terminator) {
        EXPECT_EQ(seen[i].sync, data_sync);
        EXPECT_EQ(seen[i].data_type, 2);
        expect_full_lc(seen[i], lc, rs_mask_terminator_lc);
    }
}

void expect_idle(const std::vector<seen_burst> &seen, size_t from, int sync, int cc) {
    for (size_t i = from; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].sync, sync) << i;
        EXPECT_EQ(seen[i].data_type, 9) << i;
        EXPECT_EQ(seen[i].slot_cc, cc) << i;
        EXPECT_TRUE(seen[i].bptc_ok) << i;
        EXPECT_EQ(seen[i].busy, 0) << i;
    }
}

}  // namespace

TEST(TestPattern, FramesAreDistinctAndKeepTheirUnusedBitsClear) {
    std::set<codec_frame> seen;
    for (const codec_frame &f : test_pattern_frames(200)) {
        uint8_t bits[72];
        codec_frame copy;
        extract_voice_frame(f.data(), bits);
        place_voice_frame(bits, copy.data());
        EXPECT_EQ(copy, f);
        seen.insert(f);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_EQ(test_pattern_frame(7), test_pattern_frames(8)[7]);
}

TEST(CallBuilder, FramesArePaddedToWholeSuperframes) {
    const int cases[][2] = {{0, 18}, {1, 18}, {17, 18}, {18, 18}, {19, 36}, {54, 54}};
    for (const auto &c : cases) EXPECT_EQ(call_frame_count(c[0]), c[1]) << c[0];
    std::vector<codec_frame> sent = call_frames(test_pattern_frames(20));
    ASSERT_EQ(sent.size(), 36u);
    EXPECT_EQ(sent[19], test_pattern_frame(19));
    EXPECT_EQ(sent[20], codec_frame{});
    EXPECT_EQ(sent[35], codec_frame{});
}

TEST(CallBuilder, WholeCallsReadBackInEitherSlot) {
    struct {
        const char *name;
        call c;
        int frames;
    } cases[] = {
        {"group call in slot 1", {1, true, 9, 2001, 1, false, 1, true}, 18},
        {"direct call in slot 0, mobile sync", {0, false, 3120001, 2624154, 7, true, 1, true}, 18},
        {"two headers, padded second superframe", {1, true, 0xFFFFFF, 1, 15, false, 2, true}, 20},
        {"no header, no terminator", {0, true, 91, 16777215, 0, false, 0, false}, 36},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        std::vector<codec_frame> frames = test_pattern_frames(tc.frames);
        std::vector<uint8_t> stream = call_symbols(tc.c, frames);
        for (uint8_t s : stream) ASSERT_LE(s, 3);
        std::vector<seen_burst> mine = read_slot(stream, tc.c.slot, 0);
        std::vector<seen_burst> other = read_slot(stream, 1 - tc.c.slot, 0);
        ASSERT_EQ(mine.size(), other.size());
        // The call, then one idle burst in each slot so that a receiver
        // reaches the call's last burst.
        std::vector<seen_burst> call_part(mine.begin(), mine.end() - 1);
        expect_call(call_part, tc.c, frames);
        for (const seen_burst &s : call_part) EXPECT_EQ(s.busy, 1);
        expect_idle(mine, call_part.size(), int(data_sync_of(tc.c.mobile)), tc.c.colour_code);
        expect_idle(other, 0, int(data_sync_of(tc.c.mobile)), tc.c.colour_code);
        // The first centre field is where a receiver's search finds it.
        uint8_t pattern[24];
        bool voice_first = tc.c.slot == 0 && tc.c.lc_headers == 0;
        place_sync(voice_first ? voice_sync_of(tc.c.mobile) : data_sync_of(tc.c.mobile), pattern);
        EXPECT_EQ(symbol_distance(pattern, stream.data() + timeslot_centre_offset, 24), 0);
    }
}

TEST(ChannelBuilder, TwoCallsInterleaveAndTheShorterSlotIsPaddedWithIdle) {
    call a;
    a.slot = 0;
    a.target = 9;
    a.source = 2001;
    call b;
    b.slot = 1;
    b.group = false;
    b.target = 1234;
    b.source = 5678;
    std::vector<codec_frame> fa = test_pattern_frames(36), fb = test_pattern_frames(18);
    channel_options options;
    options.first_slot = 1;
    options.colour_code = 3;
    options.short_lc = 0x15555;
    options.trailing_idle = 2;
    std::vector<uint8_t> stream = channel_symbols(call_bursts(a, fa), call_bursts(b, fb), options);
    ASSERT_EQ(stream.size(), 2u * 16 * 144);  // a: 1 + 12 + 1 bursts; b: 8, padded to 14; 2 trailing

    std::vector<seen_burst> s0 = read_slot(stream, 0, 1), s1 = read_slot(stream, 1, 1);
    std::vector<seen_burst> s0_call(s0.begin(), s0.begin() + 14);
    expect_call(s0_call, a, fa);
    expect_idle(s0, 14, int(burst_sync::bs_data), 3);
    std::vector<seen_burst> s1_call(s1.begin(), s1.begin() + 8);
    expect_call(s1_call, b, fb);
    expect_idle(s1, 8, int(burst_sync::bs_data), 3);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(s1[i].busy, 1);

    // Every CACH carries the short-LC bits with LCSS 0.
    for (size_t i = 0; i < stream.size(); i += 144) {
        uint8_t bits[24];
        symbols_to_bits(stream.data() + i, 12, bits);
        uint32_t short_lc = 0;
        for (int n : {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 15, 16, 17, 19, 20, 21, 23}) short_lc = short_lc << 1 | bits[n];
        EXPECT_EQ(short_lc, 0x15555u);
        EXPECT_EQ(read_timeslot(stream.data() + i).cach_lcss, 0);
    }
}

TEST(ChannelBuilder, HandMadeTimeslotsAndRawBursts) {
    // A wrong EMB and raw slot type pass through unchanged, so faults can be
    // sent on purpose.
    uint8_t frames[36] = {};
    std::vector<uint8_t> stream;
    append_timeslot(stream, tact_word(1, 1, 2), 0, embedded_voice_burst(0x1390, 0xCAFEF00D, frames));
    uint8_t info[25] = {};
    info[0] = 0xA5;
    append_timeslot(stream, tact_word(0, 0, 3), 0x1FFFF, data_burst(burst_sync::ms_data, 0x12345, info));
    ASSERT_EQ(stream.size(), 288u);
    EXPECT_EQ(reference::tact_of_cach(stream.data()), tact_word(1, 1, 2));
    EXPECT_EQ(reference::emb_of_centre(stream.data() + 66), 0x1390);
    EXPECT_EQ(reference::fragment_of_centre(stream.data() + 66), 0xCAFEF00Du);
    const uint8_t *second = stream.data() + 144;
    EXPECT_EQ(reference::slot_type_of_burst(second + 12), 0x12345u);
    uint8_t back[25];
    reference::info_of_burst(second + 12, back);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 25), std::vector<uint8_t>(info, info + 25));
    uint8_t pattern[24];
    place_sync(burst_sync::ms_data, pattern);
    EXPECT_EQ(symbol_distance(pattern, second + timeslot_centre_offset, 24), 0);
}
