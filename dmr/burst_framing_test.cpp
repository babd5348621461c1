// SPDX-License-Identifier: MIT
// The decoder over whole symbol streams, in-process: sync search, burst grid,
// slots, voice output with lock and filter, data bursts, metadata lines,
// lost sync and the control fifo.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "control_fifo.h"
#include "decoder_fixture.h"
#include "hamming_13_9.h"
#include "testing/process.h"
#include "voice_output.h"

namespace {

using namespace dmr_encode;

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Flips the low bit of count symbols spread over the 24 (one bit each).
std::vector<uint8_t> with_wrong_bits(std::vector<uint8_t> s, int count) {
    for (int i = 0; i < count; ++i) s[static_cast<std::size_t>(1 + 5 * i)] ^= 1;
    return s;
}

TEST(sync_search, three_wrong_bits_are_found_four_are_not) {
    for (int p = 0; p < 4; ++p) {
        std::vector<uint8_t> pattern = sync_symbols_of(dmr_sync_words[p]);
        EXPECT_EQ(match_sync(with_wrong_bits(pattern, 3).data()), dmr_sync_kinds[p]);
        EXPECT_EQ(match_sync(with_wrong_bits(pattern, 4).data()), burst_embedded);

        for (int wrong : {3, 4}) {
            decoder_fixture f;
            f.feed(std::vector<uint8_t>(100, 0) + with_wrong_bits(pattern, wrong) + std::vector<uint8_t>(30, 0));
            EXPECT_EQ(f.state.synchronised, wrong == 3) << "pattern " << p;
            if (wrong == 3) {
                EXPECT_EQ(f.state.ring.read_pos, 100);
            }
        }
    }
}

TEST(sync_search, bits_above_the_dibit_count_as_wrong_bits) {
    // Symbol bytes outside 0..3 are compared as bytes: two wrong dibit bits
    // and one stray high bit are 3, with a second stray bit 4.
    for (int stray : {1, 2}) {
        std::vector<uint8_t> pattern = with_wrong_bits(sync_symbols_of(dmr_sync_words[3]), 2);
        for (int i = 0; i < stray; ++i) pattern[static_cast<std::size_t>(10 + i)] |= 0x40;
        decoder_fixture f;
        f.feed(std::vector<uint8_t>(50, 0) + pattern + std::vector<uint8_t>(30, 0));
        EXPECT_EQ(f.state.synchronised, stray == 1);
    }
}

TEST(sync_search, stops_at_the_first_window_a_byte_compare_accepts) {
    std::mt19937 random(9);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> s(900);
        for (auto &b : s) b = static_cast<uint8_t>(random() % 5 == 0 ? random() : random() & 3);
        std::vector<uint8_t> sync = with_wrong_bits(sync_symbols_of(dmr_sync_words[round % 4]), round % 4);
        std::copy(sync.begin(), sync.end(), s.begin() + 400 + round);
        std::size_t first = 0;
        while (match_sync(s.data() + first) == burst_embedded) ++first;
        decoder_fixture f;
        // Up to before the first burst would be complete.
        f.feed(std::vector<uint8_t>(s.begin(), s.begin() + static_cast<long>(first) + 100));
        ASSERT_TRUE(f.state.synchronised);
        EXPECT_EQ(f.state.ring.read_pos, static_cast<int32_t>(first));
    }
}

TEST(sync_search, short_or_syncless_input_gives_nothing) {
    decoder_fixture short_input;
    short_input.feed(sync_symbols_of(dmr_sync_words[1]));  // 24 symbols: too few to search
    EXPECT_FALSE(short_input.state.synchronised);
    decoder_fixture f;
    f.feed(std::vector<uint8_t>(3000, 2));
    EXPECT_FALSE(f.state.synchronised);
    EXPECT_EQ(f.voice(), "");
    EXPECT_EQ(f.diagnostics(), "");
    EXPECT_EQ(f.metadata(), "");
}

TEST(burst_grid, burst_waits_for_the_symbols_after_its_end) {
    decoder_fixture f;
    std::vector<uint8_t> s = complete_channel({idle_burst(burst_sync::bs_data, 1)}, {});
    // The first centre field is at 66; the burst needs 145 symbols from there.
    f.feed(std::vector<uint8_t>(s.begin(), s.begin() + 66 + 144));
    EXPECT_TRUE(f.state.synchronised);
    EXPECT_EQ(f.diagnostics(), "");
    f.feed({s[66 + 144]});
    EXPECT_EQ(f.diagnostics(), "  slot: 0 busy: 1, lcss: 0\r");
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:0;sync:data;\n");
}

call group_call_in(int slot) {
    call c;
    c.slot = slot;
    return c;
}

// A call with its other slot idle, and one more timeslot so that the
// terminator is processed too.
std::vector<uint8_t> call_stream(const call &c, const std::vector<codec_frame> &frames) {
    std::vector<burst> bursts = call_bursts(c, frames);
    return c.slot ? complete_channel({}, bursts) : complete_channel(bursts, {});
}

TEST(voice_call, group_call_in_slot_1) {
    decoder_fixture f;
    std::vector<codec_frame> frames = test_pattern_frames(36);
    f.feed(call_stream(group_call_in(1), frames));
    EXPECT_EQ(f.voice(), frame_bytes(frames));
    const std::string call = "type:group;source:2001;target:9;\n";
    std::string expected = "protocol:DMR;slot:0;sync:data;\n";  // idle bursts of slot 0
    expected += "protocol:DMR;slot:1;sync:data;\n";             // voice LC header: data sync
    expected += "protocol:DMR;slot:1;sync:data;" + call;        // its LC
    expected += "protocol:DMR;slot:1;sync:voice;" + call;       // burst A
    expected += "protocol:DMR;slot:1;sync:voice;" + call;       // embedded LC of superframe 1
    expected += "protocol:DMR;slot:1;sync:voice;" + call;       // and of superframe 2
    expected += "protocol:DMR;slot:1;sync:data;\n";             // terminator
    EXPECT_EQ(f.metadata(), expected);
    std::string err = f.diagnostics();
    EXPECT_NE(err.find(" group voice; group: 9, source: 2001 "), std::string::npos);
    EXPECT_NE(err.find("  slot: 1 busy: 1, lcss: 0 // EMB: CC: 1, LCSS: 2 decoding embedded signalling for slot 1 "
                       " group voice; group: 9, source: 2001 \r"),
              std::string::npos);
    EXPECT_EQ(err.find("lost sync"), std::string::npos);
    EXPECT_EQ(f.state.voice_slot, -1);  // released by the terminator
}

TEST(voice_call, direct_call_in_slot_0_with_mobile_sync) {
    decoder_fixture f;
    call c;
    c.slot = 0;
    c.group = false;
    c.target = 123456;
    c.source = 0;
    c.mobile = true;
    std::vector<codec_frame> frames = test_pattern_frames(18);
    f.feed(call_stream(c, frames));
    EXPECT_EQ(f.voice(), frame_bytes(frames));
    EXPECT_EQ(f.metadata(),
              "protocol:DMR;slot:0;sync:data;\n"
              "protocol:DMR;slot:0;sync:data;type:direct;target:123456;\n"
              "protocol:DMR;slot:1;sync:data;\n"
              "protocol:DMR;slot:0;sync:voice;type:direct;target:123456;\n"
              "protocol:DMR;slot:0;sync:voice;type:direct;target:123456;\n"
              "protocol:DMR;slot:0;sync:data;\n");
}

TEST(voice_call, all_ones_and_all_zero_payloads) {
    uint8_t ones[27];
    uint8_t frames[36];
    std::fill(ones, ones + 27, 0xFF);
    deinterleave_voice(ones, frames);
    const uint8_t expected[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00};
    for (int k = 0; k < 3; ++k) EXPECT_EQ(std::memcmp(frames + 12 * k, expected, 12), 0) << "frame " << k;
    uint8_t zero[27] = {};
    deinterleave_voice(zero, frames);
    EXPECT_EQ(std::vector<uint8_t>(frames, frames + 36), std::vector<uint8_t>(36, 0));
}

TEST(voice_call, burst_fields_wrap_at_the_start_of_the_ring) {
    // 958 leading symbols put the first centre field at ring position 0, so
    // its CACH and first payload half lie at 958 .. 1023.
    decoder_fixture f;
    std::vector<codec_frame> frames = test_pattern_frames(18);
    call c = group_call_in(0);
    c.lc_headers = 0;
    f.feed(std::vector<uint8_t>(958, 0) + call_stream(c, frames));
    EXPECT_EQ(f.diagnostics().substr(0, 27), "  slot: 0 busy: 1, lcss: 0\r");
    EXPECT_EQ(f.voice(), frame_bytes(frames));
}

std::string data_status(int slot, int busy) {
    return "  slot: " + std::to_string(slot) + " busy: " + std::to_string(busy) + ", lcss: 0\r";
}

TEST(data_bursts, every_data_type_branch) {
    uint8_t data[12];
    for (int i = 0; i < 12; ++i) data[i] = static_cast<uint8_t>(i);
    // Two errors in a column of the BPTC that its Hamming (13,9) code cannot
    // correct.
    uint8_t info[25];
    bptc_196_96_encode(data, info);
    int pair[2] = {-1, -1};
    for (int r1 = 0; r1 < 13 && pair[0] < 0; ++r1)
        for (int r2 = r1 + 1; r2 < 13 && pair[0] < 0; ++r2) {
            uint16_t w = static_cast<uint16_t>((1u << (12 - r1)) | (1u << (12 - r2)));
            if (!hamming_13_9_correct(w)) {
                pair[0] = r1;
                pair[1] = r2;
            }
        }
    ASSERT_GE(pair[0], 0);
    for (int r : pair) {
        int n = bptc_196_96_bit_of(r, 0);
        info[n / 8] ^= static_cast<uint8_t>(0x80 >> (n % 8));
    }
    burst bad_bptc = data_burst(burst_sync::bs_data, slot_type_word(1, data_type_csbk), info);
    burst bad_slot_type = data_burst(burst_sync::bs_data, slot_type_word(1, data_type_csbk) ^ 0xF, info);
    uint8_t garbage[25];
    std::fill(garbage, garbage + 25, 0x5A);

    std::vector<burst> slot0 = {
        bptc_data_burst(burst_sync::bs_data, 1, data_type_csbk, data),
        bad_bptc,
        bad_slot_type,
        data_burst(burst_sync::bs_data, slot_type_word(1, data_type_rate_three_quarter_data), garbage),
        bptc_data_burst(burst_sync::bs_data, 1, data_type_data_header, data),
        bptc_data_burst(burst_sync::bs_data, 1, data_type_rate_half_data, data),
        bptc_data_burst(burst_sync::bs_data, 1, 12, data),
    };
    decoder_fixture f;
    f.feed(complete_channel(slot0, {}));
    std::string dump = "00 01 02 03 04 05 06 07  08 09 0A 0B " + std::string(13, ' ') + "|  ............ \n";
    std::string idle = data_status(1, 0);
    // Each slot-0 burst: its status line and what its data type makes of it.
    const std::string handled[] = {
        "unhandled data_type: 3\n",
        "",  // BPTC fails
        "",  // slot type fails
        "skipping 3/4 data frame\n",
        "raw data (data_type = 6, slot = 0)\n" + dump,
        "raw data (data_type = 7, slot = 0)\n" + dump,
        "unhandled data_type: 12\n",
    };
    std::string expected;
    for (const std::string &h : handled) expected += data_status(0, 1) + h + idle;
    EXPECT_EQ(f.diagnostics(), expected);
    EXPECT_EQ(f.voice(), "");
}

TEST(data_bursts, header_then_terminators_and_idle) {
    full_lc lc;
    lc.target = 9;
    lc.source = 2001;
    decoder_fixture f;
    f.feed(complete_channel({idle_burst(burst_sync::bs_data, 1), voice_lc_header_burst(burst_sync::bs_data, 1, lc),
                             terminator_burst(burst_sync::bs_data, 1, lc), terminator_burst(burst_sync::bs_data, 1, lc),
                             idle_burst(burst_sync::bs_data, 1)},
                            {}));
    EXPECT_EQ(f.metadata(),
              "protocol:DMR;slot:0;sync:data;\n"
              "protocol:DMR;slot:1;sync:data;\n"
              "protocol:DMR;slot:0;sync:data;type:group;source:2001;target:9;\n"
              "protocol:DMR;slot:0;sync:data;\n");
    EXPECT_NE(f.diagnostics().find(data_status(0, 1) + " group voice; group: 9, source: 2001 " + data_status(1, 0)),
              std::string::npos);
}

TEST(data_bursts, header_and_terminator_failing_their_reed_solomon_check_are_dropped) {
    // A BPTC that decodes but whose LC does not satisfy the Reed-Solomon
    // (12,9) check: a wrong address byte, a wrong parity byte, or the
    // terminator's mask on a header.
    full_lc lc;
    lc.target = 9;
    lc.source = 2001;
    uint8_t good[12];
    full_lc_data(lc, rs_mask_voice_lc_header, good);
    uint8_t wrong_source[12], wrong_parity[12], terminator_mask[12];
    std::copy(good, good + 12, wrong_source);
    wrong_source[8] ^= 0x40;
    std::copy(good, good + 12, wrong_parity);
    wrong_parity[11] ^= 0x01;
    full_lc_data(lc, rs_mask_terminator_lc, terminator_mask);
    for (const uint8_t *data : {wrong_source, wrong_parity, terminator_mask}) {
        decoder_fixture f;
        f.feed(complete_channel({bptc_data_burst(burst_sync::bs_data, 1, data_type_voice_lc_header, data)}, {}));
        EXPECT_EQ(f.metadata(), "protocol:DMR;slot:0;sync:data;\nprotocol:DMR;slot:1;sync:data;\n");
        EXPECT_EQ(f.diagnostics(), data_status(0, 1) + data_status(1, 0));
    }
    // A terminator with a wrong check does not end the call; a good one does.
    uint8_t bad_terminator[12];
    full_lc_data(lc, rs_mask_terminator_lc, bad_terminator);
    bad_terminator[4] ^= 0x10;
    decoder_fixture f;
    f.feed(complete_channel({voice_lc_header_burst(burst_sync::bs_data, 1, lc),
                             bptc_data_burst(burst_sync::bs_data, 1, data_type_terminator_lc, bad_terminator),
                             terminator_burst(burst_sync::bs_data, 1, lc)},
                            {}));
    EXPECT_EQ(f.metadata(),
              "protocol:DMR;slot:0;sync:data;\n"
              "protocol:DMR;slot:0;sync:data;type:group;source:2001;target:9;\n"
              "protocol:DMR;slot:1;sync:data;\n"
              "protocol:DMR;slot:0;sync:data;\n");
}

// Symbols of the burst with an EMB that cannot be corrected (three wrong
// bits) in a voice slot.
burst bad_emb_burst(const codec_frame &frame) {
    uint8_t frames[36];
    for (int k = 0; k < 3; ++k) std::memcpy(frames + 12 * k, frame.data(), 12);
    return embedded_voice_burst(emb_word(1, 0, 0) ^ 0x0007, 0, frames);
}

TEST(lost_sync, four_misses_are_processed_and_the_fifth_loses_sync) {
    std::vector<codec_frame> frames = test_pattern_frames(18 + 5);
    call c = group_call_in(0);
    c.terminator = false;
    std::vector<burst> slot0 = call_bursts(c, std::vector<codec_frame>(frames.begin(), frames.begin() + 18));
    for (int i = 0; i < 5; ++i) slot0.push_back(bad_emb_burst(frames[18 + static_cast<std::size_t>(i)]));
    // The bursts of slot 1 miss too, so the misses count in both slots:
    // timeslots alternate a missing slot-0 burst with a missing slot-1 burst.
    std::vector<burst> slot1(slot0.size() - 5, idle_burst(burst_sync::bs_data, 1));
    uint8_t noise[36] = {};
    burst slot1_miss = embedded_voice_burst(emb_word(1, 0, 0) ^ 0x0007, 0, noise);
    for (int i = 0; i < 5; ++i) slot1.push_back(slot1_miss);

    decoder_fixture f;
    std::vector<uint8_t> s = complete_channel(slot0, slot1);
    const int lost_at = 66 + 18 * 144;
    // Up to the symbol that completes the burst of the fifth miss.
    f.feed(std::vector<uint8_t>(s.begin(), s.begin() + lost_at + 145));
    // The misses start at timeslot 14. Slot 0 is in voice: its first two
    // missing bursts are written (misses 1 and 3); its third, in timeslot 18,
    // is the fifth miss in a row.
    EXPECT_EQ(f.voice(), frame_bytes(frames, 0, 18) + frame_bytes({frames[18], frames[18], frames[18]}) +
                             frame_bytes({frames[19], frames[19], frames[19]}));
    std::string err = f.diagnostics();
    std::string lost = "lost sync at " + std::to_string(lost_at % 1024) + "\n";
    ASSERT_NE(err.find(lost), std::string::npos) << err.substr(err.size() - 300);
    EXPECT_EQ(err.find("lost sync", err.find(lost) + 1), std::string::npos);
    std::string meta = f.metadata();
    const std::string reset = "protocol:DMR;slot:0;\nprotocol:DMR;slot:1;\n";
    EXPECT_EQ(meta.substr(meta.size() - reset.size()), reset);
    EXPECT_EQ(err.substr(err.size() - lost.size()), lost);  // no status line for that burst
    EXPECT_FALSE(f.state.synchronised);
    EXPECT_EQ(f.state.slot_mode[0], slot_mode_none);
    EXPECT_EQ(f.state.last_slot, -1);
    EXPECT_EQ(f.state.voice_slot, 0);  // the voice lock survives lost sync
    EXPECT_EQ(f.state.ring.read_pos, lost_at % 1024);
    // The search starts again at the failed burst's centre field and finds
    // the data sync of the idle burst that follows.
    f.feed(std::vector<uint8_t>(s.begin() + lost_at + 145, s.end()));
    EXPECT_TRUE(f.state.synchronised);
}

// Two calls at once: slot 0 for one superframe, slot 1 for two.
// Two calls, the second in slot 1 from another caller, with a gap between
// them that puts the second on another burst grid.
struct calls_with_a_gap {
    std::vector<codec_frame> frames1 = test_pattern_frames(36);
    std::vector<codec_frame> frames2 = [] {
        std::vector<codec_frame> v;
        for (int i = 0; i < 54; ++i) v.push_back(test_pattern_frame(static_cast<uint32_t>(7000 + i)));
        return v;
    }();
    std::vector<uint8_t> symbols(const std::vector<uint8_t> &gap) const {
        call second = group_call_in(1);
        second.target = 77;
        second.source = 3003;
        std::vector<uint8_t> s = call_symbols(group_call_in(0), frames1);
        s.insert(s.end(), gap.begin(), gap.end());
        std::vector<uint8_t> t = call_symbols(second, frames2);
        s.insert(s.end(), t.begin(), t.end());
        return s;
    }
};

TEST(next_call, found_on_its_own_grid_after_zeros_or_noise) {
    // All-zero symbols give valid EMBs and random ones often do, so the old
    // grid is not lost by itself; the second call's sync patterns move the
    // decoder to its grid in time for its header and all of its voice.
    // Gaps of 50 ms (240 symbols) to 800 ms (3840) at many phases.
    struct {
        std::size_t length;
        bool zeros;
    } gaps[] = {{2000, true},  {2001, true},  {2070, true},  {240, false}, {241, false}, {700, false}, {1111, false},
                {1733, false}, {2500, false}, {3840, false}, {0, true},    {145, true},  {143, false}};
    calls_with_a_gap calls;
    std::mt19937 random(15);
    for (const auto &gap : gaps) {
        std::vector<uint8_t> fill(gap.length, 0);
        if (!gap.zeros)
            for (auto &b : fill) b = static_cast<uint8_t>(random() & 3);
        for (std::size_t block : {std::size_t{128}, std::size_t{1000}}) {
            decoder_fixture f;
            f.feed(calls.symbols(fill), block);
            SCOPED_TRACE(std::to_string(gap.length) + (gap.zeros ? " zeros" : " random") + ", blocks of " +
                         std::to_string(block));
            EXPECT_EQ(f.voice(), frame_bytes(calls.frames1) + frame_bytes(calls.frames2));
            const std::string second = "protocol:DMR;slot:1;sync:data;type:group;source:3003;target:77;\n";
            const std::string meta = f.metadata();
            ASSERT_NE(meta.find(second), std::string::npos) << meta;
            EXPECT_NE(
                meta.find("protocol:DMR;slot:1;sync:voice;type:group;source:3003;target:77;\n", meta.find(second)),
                std::string::npos);
            EXPECT_LT(ring_fill(f.state.ring), 1024 - 128);
        }
    }
}

TEST(next_call, stray_sync_patterns_do_not_move_a_call_on_its_grid) {
    // A call in slot 0 with idle bursts in slot 1; sync words written into
    // the idle bursts off the grid: once, and twice on one phase a timeslot
    // apart. The idle slot shows its own data sync in between, so the
    // decoder stays and the voice is whole.
    std::vector<codec_frame> frames = test_pattern_frames(54);
    std::vector<uint8_t> s = call_symbols(group_call_in(0), frames);
    std::vector<uint8_t> sync = sync_symbols_of(dmr_sync_words[1]);
    // Timeslot 2t + 1 is slot 1's idle burst t; its payload starts 12 symbols in.
    for (std::size_t at : {144 * 5 + 20, 144 * 9 + 30, 144 * 11 + 30})
        std::copy(sync.begin(), sync.end(), s.begin() + static_cast<long>(at));
    decoder_fixture f;
    f.feed(s);
    EXPECT_EQ(f.voice(), frame_bytes(frames));
    EXPECT_EQ(f.diagnostics().find("lost sync"), std::string::npos);
}

struct two_calls {
    std::vector<codec_frame> frames0 = test_pattern_frames(18);
    std::vector<codec_frame> frames1 = [] {
        std::vector<codec_frame> v;
        for (int i = 0; i < 36; ++i) v.push_back(test_pattern_frame(static_cast<uint32_t>(1000 + i)));
        return v;
    }();
    std::vector<uint8_t> symbols() const {
        call c0 = group_call_in(0);
        call c1 = group_call_in(1);
        c1.target = 77;
        return complete_channel(call_bursts(c0, frames0), call_bursts(c1, frames1));
    }
};

struct filter_case {
    uint8_t filter;
    bool slot0_whole;         // slot 0's voice written
    std::size_t slot1_first;  // first frame of slot 1 written (36: none)
};

class slot_filter : public ::testing::TestWithParam<filter_case> {};

TEST_P(slot_filter, and_the_voice_lock) {
    two_calls calls;
    decoder_fixture f;
    f.state.slot_filter = GetParam().filter;
    f.feed(calls.symbols());
    std::string expected;
    if (GetParam().slot0_whole) expected += frame_bytes(calls.frames0);
    expected += frame_bytes(calls.frames1, GetParam().slot1_first);
    // Slot 0 burst i comes before slot 1 burst i; the second superframe of
    // slot 1 starts right after slot 0's terminator.
    EXPECT_EQ(f.voice().size(), expected.size());
    EXPECT_EQ(f.voice(), expected);
}

INSTANTIATE_TEST_SUITE_P(dmr, slot_filter,
                         ::testing::Values(filter_case{3, true, 18},  // lock: slot 1 after slot 0's call
                                           filter_case{1, true, 36}, filter_case{2, false, 0},
                                           filter_case{0, false, 36}));

TEST(slot_filter, a_muted_slot_gives_up_the_lock) {
    // Slot 0 takes the lock, then is muted: slot 1 is written from its next
    // voice burst on, not only after slot 0's terminator.
    two_calls calls;
    decoder_fixture f;
    std::vector<uint8_t> s = calls.symbols();
    std::size_t half = 144 * 6;  // through the first voice bursts of both slots
    f.feed(std::vector<uint8_t>(s.begin(), s.begin() + static_cast<long>(half)));
    ASSERT_EQ(f.state.voice_slot, 0);
    std::size_t written = f.voice().size();
    const uint8_t message[] = {'2'};
    apply_control_line(f.state, message, 1);
    EXPECT_EQ(f.state.voice_slot, -1);
    f.feed(std::vector<uint8_t>(s.begin() + static_cast<long>(half), s.end()));
    // Bursts 0..4 were processed: slot 1's header and voice burst A (frames
    // 0..2, locked out); its burst B comes next.
    EXPECT_EQ(f.voice(), frame_bytes(calls.frames0, 0, written / 12) + frame_bytes(calls.frames1, 3));
}

class control : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(pipe(fds), 0);
        f.state.control = fdopen(fds[0], "r");
        fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        std::fclose(f.state.control);
        if (fds[1] >= 0) close(fds[1]);
    }
    void say(const std::string &s) { ASSERT_EQ(write(fds[1], s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    decoder_fixture f;
    int fds[2] = {-1, -1};
};

TEST_F(control, lines_across_reads_set_the_slot_filter) {
    struct {
        std::string message;
        uint8_t filter;
    } cases[] = {
        {"2\n", 2},                           // slot 1 only
        {"1\n0\n", 0},                        // one read, two lines: both applied in turn
        {"x\n", 0},                           // not a slot mask: nothing
        {"hello\n3\n", 3},                    // a bad line does not hide the next
        {"1", 3},                             // half a line waits for its newline
        {"\n", 1},                            // ... and completes across reads
        {"7\n", 1},                           // masks above 3 are no messages
        {"2\r\n", 2},                         // a CR before the newline is allowed
        {"22\n", 2},                          // two characters: no message
        {std::string(40, '1') + "\n0\n", 0},  // an over-long line is dropped whole
        {std::string(40, '1') + "3", 0},      // dropped up to its newline ...
        {"1\n", 0},                           // ... which this one ends
        {"3\n", 3},
        {"", 3},  // nothing to read
    };
    for (const auto &c : cases) {
        if (!c.message.empty()) say(c.message);
        poll_control(f.state);
        EXPECT_EQ(f.state.slot_filter, c.filter) << "after " << c.message;
    }
}

TEST(control_fifo, messages_after_the_writer_closed_and_reopened_are_read) {
    // A display that closes the control fifo and opens it again later: the
    // end of file seen in between must not stop further reading.
    std::string path = make_temp_dir() + "/control";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    decoder_fixture f;
    int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    f.state.control = fdopen(reader, "r");
    for (const char *message : {"2\n", "1\n"}) {
        int writer = open(path.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, message, 2), 2);
        close(writer);
        poll_control(f.state);
        EXPECT_EQ(f.state.slot_filter, message[0] - '0');
        poll_control(f.state);  // end of file: nothing, and no waiting
    }
    std::fclose(f.state.control);
}

TEST_F(control, polled_after_each_block) {
    say("1\n");
    f.feed(std::vector<uint8_t>(10, 0));
    EXPECT_EQ(f.state.slot_filter, 1);
}

TEST(garbage, any_bytes_in_any_pieces) {
    std::mt19937 random(3);
    for (std::size_t piece : {1, 5, 128, 1000, 5000}) {
        decoder_fixture f;
        std::vector<uint8_t> bytes(20000);
        for (auto &b : bytes) b = static_cast<uint8_t>(random());
        // Sync words amid the garbage, so that bursts of garbage are taken.
        for (std::size_t at = 500; at + 24 < bytes.size(); at += 1500) {
            std::vector<uint8_t> sync = sync_symbols_of(dmr_sync_words[at % 4]);
            std::copy(sync.begin(), sync.end(), bytes.begin() + static_cast<long>(at));
        }
        std::vector<uint8_t> block(bytes.begin(), bytes.end());
        for (std::size_t i = 0; i < block.size(); i += piece)
            process_input_block(f.state, block.data() + i, std::min(piece, block.size() - i));
        EXPECT_NE(f.diagnostics().find("lost sync at "), std::string::npos);
        EXPECT_LT(ring_fill(f.state.ring), 400);
    }
}

}  // namespace
