// SPDX-License-Identifier: MIT
#include "voxloom.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "recording_vocoder.h"

namespace {

struct run_output {
    std::string out;
    std::string err;
    std::vector<vocoder_call> calls;  // the synthesis calls, init left out
    vocoder_call init;
};

// Runs voxloom's logic over input with a fresh state and the recording
// double; the output and diagnostics go to memory.
run_output run(const voxloom_settings &settings, const std::string &input) {
    reset_recording();
    auto state = std::make_unique<voxloom_state>();
    voxloom_start(*state, settings);

    FILE *in =
        input.empty() ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char *>(input.data()), input.size(), "r");
    char *out_buf = nullptr, *err_buf = nullptr;
    size_t out_len = 0, err_len = 0;
    FILE *out = open_memstream(&out_buf, &out_len);
    FILE *err = open_memstream(&err_buf, &err_len);
    voxloom_run(*state, in, out, err);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);

    run_output r;
    r.out.assign(out_buf, out_len);
    r.err.assign(err_buf, err_len);
    std::free(out_buf);
    std::free(err_buf);
    const std::vector<vocoder_call> &calls = recorded_calls();
    EXPECT_FALSE(calls.empty());
    if (!calls.empty()) {
        r.init = calls[0];
        r.calls.assign(calls.begin() + 1, calls.end());
    }
    return r;
}

voxloom_settings tagged(bool float_output = false) {
    voxloom_settings s;
    s.tagged_input = true;
    s.float_output = float_output;
    return s;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

std::string zeros(size_t n) { return std::string(n, '\0'); }

// The 160 samples that call n of the double wrote (call 0 is init).
std::string call_samples(int n, bool float_output) {
    std::string s;
    for (int i = 0; i < vocoder_frame_samples; ++i) {
        if (float_output) {
            float v = recorded_float_sample(n, i);
            s.append(reinterpret_cast<const char *>(&v), sizeof v);
        } else {
            short v = recorded_sample(n, i);
            s.append(reinterpret_cast<const char *>(&v), sizeof v);
        }
    }
    return s;
}

std::vector<int> ones_at(int n, std::initializer_list<int> positions) {
    std::vector<int> v(static_cast<size_t>(n), 0);
    for (int p : positions) v[static_cast<size_t>(p)] = 1;
    return v;
}

}  // namespace

TEST(VoxloomSynthesis, EachModeByteCallsItsEntryInEitherFormat) {
    struct {
        int mode;
        size_t frame_bytes;
        bool float_output;
        vocoder_entry entry;
        size_t bits;
    } cases[] = {
        {0, 12, false, vocoder_entry::ambe_frame, 96}, {0, 12, true, vocoder_entry::ambe_frame_float, 96},
        {2, 7, false, vocoder_entry::ambe_data, 49},   {2, 7, true, vocoder_entry::ambe_data_float, 49},
        {3, 18, false, vocoder_entry::imbe_data, 88},  {3, 18, true, vocoder_entry::imbe_data_float, 88},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.float_output ? " float" : " 16-bit"));
        std::string record = bytes({c.mode}) + zeros(c.frame_bytes);
        run_output r = run(tagged(c.float_output), record + record);
        ASSERT_EQ(r.calls.size(), 2u);
        for (const vocoder_call &call : r.calls) {
            EXPECT_EQ(call.entry, c.entry);
            EXPECT_EQ(call.bits.size(), c.bits);
            EXPECT_EQ(call.uvquality, 1);
            EXPECT_EQ(call.cur_mp, r.init.cur_mp);
            EXPECT_EQ(call.prev_mp, r.init.prev_mp);
            EXPECT_EQ(call.prev_mp_enhanced, r.init.prev_mp_enhanced);
            // The error counters are cleared before every frame, whatever
            // the previous call left in them.
            EXPECT_EQ(call.errs_in, 0);
            EXPECT_EQ(call.errs2_in, 0);
        }
        EXPECT_EQ(r.out, call_samples(1, c.float_output) + call_samples(2, c.float_output));
        EXPECT_EQ(r.err, recorded_error_text(1) + recorded_error_text(2));
    }
}

TEST(VoxloomSynthesis, PlainFormIsTwelveByteAmbeFramesInOrder) {
    // A 36-byte DMR voice burst unit: three frames, in order. Without -y a
    // leading 03 or 02 is frame content, not a mode byte.
    std::string unit = bytes({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}) + bytes({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) +
                       bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0});
    run_output r = run(voxloom_settings{}, unit);
    ASSERT_EQ(r.calls.size(), 3u);
    for (const vocoder_call &call : r.calls) EXPECT_EQ(call.entry, vocoder_entry::ambe_frame);
    EXPECT_EQ(r.calls[0].bits, ones_at(96, {6, 7, 95}));
    EXPECT_EQ(r.calls[1].bits, ones_at(96, {6}));
    EXPECT_EQ(r.calls[2].bits, ones_at(96, {72}));  // row 3, column 0
    EXPECT_EQ(r.out, call_samples(1, false) + call_samples(2, false) + call_samples(3, false));
    EXPECT_EQ(r.err, "=E1=E2=E3");
}

TEST(VoxloomSynthesis, CutShortFrameIsDecodedWithItsMissingBytesZero) {
    // 13 bytes: a whole frame, then one byte of the next.
    std::string input = zeros(12) + bytes({0xFF});
    run_output r = run(voxloom_settings{}, input);
    ASSERT_EQ(r.calls.size(), 2u);
    EXPECT_EQ(r.calls[1].bits, ones_at(96, {0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(r.out, call_samples(1, false) + call_samples(2, false));

    // A tagged IMBE record cut after 5 bytes, after a longer AMBE frame with
    // set bits that must not linger in the frame buffer.
    std::string tagged_input = bytes({0}) + std::string(12, '\xFF') + bytes({3, 0, 0, 0, 0, 0x80});
    r = run(tagged(), tagged_input);
    ASSERT_EQ(r.calls.size(), 2u);
    EXPECT_EQ(r.calls[1].entry, vocoder_entry::imbe_data);
    EXPECT_EQ(r.calls[1].bits, ones_at(88, {21}));  // frame bit 32 is parameter bit 21
}

TEST(VoxloomSynthesis, UnpacksTheKnownFramesForMbelib) {
    std::string imbe_13(18, '\0'), imbe_17(18, '\0');
    imbe_13[13] = '\x1F';
    imbe_17[17] = '\x7F';
    std::string input = bytes({2, 0x80, 0, 0, 0, 0, 0, 0x80}) + bytes({3}) + imbe_13 + bytes({3}) + imbe_17 +
                        bytes({3}) + std::string(18, '\xFF') + bytes({0}) +
                        bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00});
    run_output r = run(tagged(), input);
    ASSERT_EQ(r.calls.size(), 5u);
    EXPECT_EQ(r.calls[0].bits, ones_at(49, {0, 48}));
    EXPECT_EQ(r.calls[1].bits, ones_at(88, {59, 60, 61, 62, 63}));
    EXPECT_EQ(r.calls[2].bits, ones_at(88, {81, 82, 83, 84, 85, 86, 87}));
    EXPECT_EQ(r.calls[3].bits, std::vector<int>(88, 1));
    std::vector<int> coded(96, 0);
    for (int n = 0; n < 96; ++n) coded[static_cast<size_t>(n)] = (n < 47 || (n >= 48 && n < 59) || (n >= 72 && n < 86));
    EXPECT_EQ(r.calls[4].bits, coded);
}

TEST(VoxloomSynthesis, SameThreeBlocksAcrossModeSwitches) {
    std::string input;
    for (int mode : {3, 3, 2, 2, 3, 0, 2, 3})
        input += bytes({mode}) + zeros(static_cast<size_t>(codec_frame_size(mode)));
    run_output r = run(tagged(), input);
    ASSERT_EQ(r.calls.size(), 8u);
    const vocoder_entry expected[] = {vocoder_entry::imbe_data, vocoder_entry::imbe_data, vocoder_entry::ambe_data,
                                      vocoder_entry::ambe_data, vocoder_entry::imbe_data, vocoder_entry::ambe_frame,
                                      vocoder_entry::ambe_data, vocoder_entry::imbe_data};
    EXPECT_NE(r.init.cur_mp, r.init.prev_mp);
    EXPECT_NE(r.init.prev_mp, r.init.prev_mp_enhanced);
    EXPECT_NE(r.init.cur_mp, r.init.prev_mp_enhanced);
    for (size_t i = 0; i < r.calls.size(); ++i) {
        EXPECT_EQ(r.calls[i].entry, expected[i]) << i;
        EXPECT_EQ(r.calls[i].cur_mp, r.init.cur_mp) << i;
        EXPECT_EQ(r.calls[i].prev_mp, r.init.prev_mp) << i;
        EXPECT_EQ(r.calls[i].prev_mp_enhanced, r.init.prev_mp_enhanced) << i;
    }
    EXPECT_EQ(recorded_calls().size(), 9u) << "mbe_initMbeParms runs once";
    EXPECT_EQ(r.out.size(), 8u * 320);
}

TEST(VoxloomSynthesis, ThreeKindsTaggedStreamIsFortyBytesAndThreeFrames) {
    std::string input = bytes({3}) + zeros(18) + bytes({2}) + zeros(7) + bytes({0}) + zeros(12);
    ASSERT_EQ(input.size(), 40u);
    run_output r = run(tagged(true), input);
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].entry, vocoder_entry::imbe_data_float);
    EXPECT_EQ(r.calls[1].entry, vocoder_entry::ambe_data_float);
    EXPECT_EQ(r.calls[2].entry, vocoder_entry::ambe_frame_float);
    EXPECT_EQ(r.out, call_samples(1, true) + call_samples(2, true) + call_samples(3, true));
}

TEST(VoxloomSynthesis, UnknownModeByteRepeatsThePreviousFrame) {
    // After each kind, a record of mode 1 (and one of 200) carries a frame
    // of the previous size, which is read and dropped; the next record must
    // then be found right after it.
    for (int mode : {0, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "after mode " << mode);
        size_t size = static_cast<size_t>(codec_frame_size(static_cast<uint8_t>(mode)));
        std::string record = bytes({mode}) + zeros(size);
        std::string dropped = std::string(size, '\xFF');
        std::string input = record + bytes({1}) + dropped + bytes({200}) + dropped + record;
        for (bool f : {false, true}) {
            run_output r = run(tagged(f), input);
            ASSERT_EQ(r.calls.size(), 2u);
            EXPECT_EQ(r.calls[1].bits, r.calls[0].bits);
            EXPECT_EQ(r.out, call_samples(1, f) + call_samples(1, f) + call_samples(1, f) + call_samples(2, f));
            EXPECT_EQ(r.err, "=E1=E1=E1=E2");
        }
    }
}

TEST(VoxloomSynthesis, LeadingUnknownRecordsAreSkippedByteByByte) {
    // Nothing to repeat yet: each unknown mode byte is dropped alone, and the
    // first known record is read from the byte after.
    std::string input = bytes({1, 7, 255}) + bytes({2, 0x80, 0, 0, 0, 0, 0, 0x80});
    run_output r = run(tagged(), input);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].bits, ones_at(49, {0, 48}));
    EXPECT_EQ(r.out, call_samples(1, false));
    EXPECT_EQ(r.err, "=E1");

    r = run(tagged(), std::string(5000, '\x05'));
    EXPECT_TRUE(r.calls.empty());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST(VoxloomSynthesis, NoFrameNoOutput) {
    struct {
        const char *name;
        bool tagged_input;
        std::string input;
    } cases[] = {
        {"empty plain", false, ""},
        {"empty tagged", true, ""},
        {"lone mode byte 0", true, bytes({0})},
        {"lone mode byte 3", true, bytes({3})},
        {"lone unknown mode byte", true, bytes({9})},
    };
    for (const auto &c : cases) {
        voxloom_settings s;
        s.tagged_input = c.tagged_input;
        run_output r = run(s, c.input);
        EXPECT_TRUE(r.calls.empty()) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err, "") << c.name;
        EXPECT_EQ(r.init.entry, vocoder_entry::init) << c.name;
    }
}

TEST(VoxloomSynthesis, UnvoicedQualityReachesEveryCall) {
    voxloom_settings s = tagged();
    s.unvoiced_quality = 64;
    std::string input = bytes({0}) + zeros(12) + bytes({2}) + zeros(7) + bytes({3}) + zeros(18);
    run_output r = run(s, input);
    ASSERT_EQ(r.calls.size(), 3u);
    for (const vocoder_call &call : r.calls) EXPECT_EQ(call.uvquality, 64);

    // A value that never went through the option check is kept out of mbelib too.
    s.unvoiced_quality = 0;
    r = run(s, input);
    for (const vocoder_call &call : r.calls) EXPECT_EQ(call.uvquality, 3);
}

TEST(VoxloomSynthesis, AnyByteStreamEndsWithWholeFrames) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 40; ++round) {
        std::string input(rng() % 3000, '\0');
        // Mostly the mode bytes that matter, with everything else mixed in.
        for (char &c : input) c = static_cast<char>(rng() % 3 ? rng() % 5 : rng() % 256);
        voxloom_settings s;
        s.tagged_input = round % 4 != 0;
        s.float_output = round % 3 == 0;
        run_output r = run(s, input);
        size_t unit = s.float_output ? 640 : 320;
        EXPECT_EQ(r.out.size() % unit, 0u);
        EXPECT_LE(r.out.size() / unit, input.size());
        for (const vocoder_call &call : r.calls)
            for (int b : call.bits) ASSERT_TRUE(b == 0 || b == 1);
    }
}

TEST(VoxloomOptions, NoticesAndSettings) {
    struct {
        int letter;
        const char *argument;
        const char *notice;
    } cases[] = {
        {'y', nullptr, "enabling codec switching support for yaesu\n"},
        {'f', nullptr, "voxloom: switching to floating point operation\n"},
        {'u', "5", "unvoiced quality set to 5\n"},
        {'?', nullptr, ""},
        {':', nullptr, ""},
    };
    for (const auto &c : cases) {
        voxloom_settings s;
        char *buf = nullptr;
        size_t len = 0;
        FILE *err = open_memstream(&buf, &len);
        voxloom_apply_option(s, c.letter, c.argument, err);
        std::fclose(err);
        EXPECT_EQ(std::string(buf, len), c.notice) << static_cast<char>(c.letter);
        std::free(buf);
        EXPECT_EQ(s.tagged_input, c.letter == 'y');
        EXPECT_EQ(s.float_output, c.letter == 'f');
        EXPECT_EQ(s.unvoiced_quality, c.letter == 'u' ? 5 : 1);
    }
}

TEST(VoxloomOptions, UnvoicedQualityOutsideOneToSixtyFourBecomesThree) {
    struct {
        const char *argument;
        int used;
    } cases[] = {
        {"1", 1}, {"64", 64}, {" 7", 7}, {"+9", 9}, {"12abc", 12},     {"0", 3},
        {"x", 3}, {"", 3},    {"-3", 3}, {"65", 3}, {"4294967297", 3}, {"99999999999999999999999", 3},
    };
    for (const auto &c : cases) {
        voxloom_settings s;
        char *buf = nullptr;
        size_t len = 0;
        FILE *err = open_memstream(&buf, &len);
        voxloom_apply_option(s, 'u', c.argument, err);
        std::fclose(err);
        std::string text(buf, len);
        std::free(buf);
        EXPECT_EQ(s.unvoiced_quality, c.used) << c.argument;
        std::string notice = "unvoiced quality set to " + std::to_string(c.used) + "\n";
        if (c.used == 3)
            EXPECT_EQ(text, std::string("rejecting unvoiced quality \"") + c.argument +
                                "\" (mbelib takes 1 to 64), using 3\n" + notice)
                << c.argument;
        else
            EXPECT_EQ(text, notice) << c.argument;
    }
}
