// SPDX-License-Identifier: MIT
// Whole receiving chains on generated transmissions: airmint's baseband
// through the demodulators and decoders, as real processes joined by pipes,
// with the metadata read from a real named pipe. The voice frames leaving
// the decoders are compared frame for frame with what the encoders put in.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "chain_support.h"
#include "codec_frame.h"
#include "dmr_encode.h"
#include "ysf_encode.h"

namespace {

using dmr_encode::codec_frame;

// airmint | quadslice | tessavox -f META; standard output: tessavox's.
chain_result dmr_chain(const std::vector<std::string> &airmint_args) {
    std::vector<std::string> args = {AIRMINT_PATH, QUADSLICE_PATH, TESSAVOX_PATH};
    args.insert(args.end(), airmint_args.begin(), airmint_args.end());
    return run_chain("A=\"$1\"; Q=\"$2\"; T=\"$3\"; shift 3; \"$A\" \"$@\" | \"$Q\" | \"$T\" -f \"$META\"", args);
}

// The same with tessavox --presence (the signal presence lines).
chain_result dmr_chain_with_presence(const std::vector<std::string> &airmint_args) {
    std::vector<std::string> args = {AIRMINT_PATH, QUADSLICE_PATH, TESSAVOX_PATH};
    args.insert(args.end(), airmint_args.begin(), airmint_args.end());
    return run_chain("A=\"$1\"; Q=\"$2\"; T=\"$3\"; shift 3; \"$A\" \"$@\" | \"$Q\" | \"$T\" --presence -f \"$META\"",
                     args);
}

// airmint -p ysf | quadslice | orbavox -f META; standard output: orbavox's.
chain_result ysf_chain(const std::vector<std::string> &airmint_args) {
    std::vector<std::string> args = {AIRMINT_PATH, QUADSLICE_PATH, ORBAVOX_PATH, "-p", "ysf"};
    args.insert(args.end(), airmint_args.begin(), airmint_args.end());
    return run_chain("A=\"$1\"; Q=\"$2\"; O=\"$3\"; shift 3; \"$A\" \"$@\" | \"$Q\" | \"$O\" -f \"$META\"", args);
}

// airmint -p pocsag | duoslice [-i] | pagewick; standard output: the pages.
chain_result pocsag_chain(bool invert_bits, const std::vector<std::string> &airmint_args) {
    std::vector<std::string> args = {AIRMINT_PATH, DUOSLICE_PATH, PAGEWICK_PATH, invert_bits ? "-i" : "--",
                                     "-p",         "pocsag"};
    args.insert(args.end(), airmint_args.begin(), airmint_args.end());
    return run_chain(
        "A=\"$1\"; D=\"$2\"; P=\"$3\"; I=\"$4\"; shift 4; "
        "if [ \"$I\" = -i ]; then \"$A\" \"$@\" | \"$D\" -i | \"$P\"; else \"$A\" \"$@\" | \"$D\" | \"$P\"; fi",
        args);
}

std::string frames_bytes(const std::vector<codec_frame> &frames, std::size_t first = 0) {
    std::string out;
    for (std::size_t i = first; i < frames.size(); ++i)
        out.append(reinterpret_cast<const char *>(frames[i].data()), 12);
    return out;
}

std::vector<codec_frame> pattern(uint32_t base, int count) {
    std::vector<codec_frame> frames;
    for (int i = 0; i < count; ++i) frames.push_back(dmr_encode::test_pattern_frame(base + static_cast<uint32_t>(i)));
    return dmr_encode::call_frames(frames);
}

std::string lines(const std::vector<std::pair<std::string, int>> &repeated) {
    std::string out;
    for (const auto &[line, count] : repeated)
        for (int i = 0; i < count; ++i) out += line + "\n";
    return out;
}

// Frame numbers in the voice output, for readable failures.
::testing::AssertionResult same_frames(const std::string &got, const std::string &expected, int frame_size) {
    if (got == expected) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << "voice differs from byte " << i << " (frame " << i / frame_size
                                         << "): " << got.size() << " bytes received, " << expected.size()
                                         << " expected";
}

// The number of positions from first on where two streams differ, over
// their common length.
std::size_t differences(const std::string &a, const std::string &b, std::size_t first) {
    std::size_t count = 0;
    for (std::size_t i = first; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
    return count;
}

TEST(Demodulators, GiveBackEverySymbolAndBitSent) {
    // After the first 100 symbols or bits, while the level tracking still
    // holds its start values, the demodulated stream is the one airmint
    // modulated. A receiver clock that runs slow may lose the last one.
    struct demod_case {
        std::vector<std::string> stream;
        std::vector<std::string> channel;
    };
    const std::vector<demod_case> cases = {
        {{"-p", "dmr"}, {}},
        {{"-p", "dmr"}, {"--ppm", "100", "--snr", "20", "--seed", "4"}},
        {{"-p", "ysf", "--mode", "vw"}, {"--ppm", "-100", "--amplitude", "0.01", "--offset", "0.002"}},
        {{"-p", "pocsag"}, {"--ppm", "-100", "--snr", "12", "--seed", "4"}},
    };
    for (const demod_case &c : cases) {
        const bool pocsag = c.stream[1] == "pocsag";
        std::vector<std::string> args = {AIRMINT_PATH, pocsag ? DUOSLICE_PATH : QUADSLICE_PATH};
        args.insert(args.end(), c.stream.begin(), c.stream.end());
        args.insert(args.end(), c.channel.begin(), c.channel.end());
        SCOPED_TRACE(shell_words(args));
        chain_result demodulated =
            run_chain(std::string("A=\"$1\"; D=\"$2\"; shift 2; \"$A\" \"$@\" | \"$D\"") + (pocsag ? " -i" : ""), args);
        std::vector<std::string> raw = c.stream;
        raw.insert(raw.end(), {"-o", pocsag ? "bits" : "symbols"});
        program_result sent = run_program(AIRMINT_PATH, raw, "");
        ASSERT_GT(sent.out.size(), 1000u);
        EXPECT_LE(sent.out.size() - demodulated.out.size(), 1u);
        EXPECT_EQ(differences(demodulated.out, sent.out, 100), 0u);
    }
}

struct dmr_case {
    const char *name;
    std::vector<std::string> args;
    std::string meta;
    std::string voice;
};

TEST(DmrChain, CallsDecodeWithTheirMetadataAndEveryVoiceFrame) {
    const std::string idle0 = "protocol:DMR;slot:0;sync:data;", idle1 = "protocol:DMR;slot:1;sync:data;";
    const std::string group0 = "type:group;source:2001;target:9;";
    const std::string direct1 = "type:direct;source:1234567;target:4321;";
    const std::vector<dmr_case> cases = {
        {"clean group call in slot 0",
         {},
         lines({{idle0, 1},
                {idle1, 1},
                {idle0 + group0, 1},
                {"protocol:DMR;slot:0;sync:voice;" + group0, 2},
                {idle0, 1}}),
         frames_bytes(pattern(0, 18))},
        {"direct call in slot 1 at 20 dB",
         {"--snr", "20", "--seed", "7", "-s", "1", "--direct", "-t", "4321", "--source", "1234567", "--colour-code",
          "5", "--superframes", "2"},
         lines({{idle0, 1},
                {idle1, 1},
                {idle1 + direct1, 1},
                {"protocol:DMR;slot:1;sync:voice;" + direct1, 3},
                {idle1, 1}}),
         frames_bytes(pattern(1000000, 36))},
        {"clock 100 ppm fast",
         {"--ppm", "100", "--superframes", "3"},
         lines({{idle0, 1},
                {idle1, 1},
                {idle0 + group0, 1},
                {"protocol:DMR;slot:0;sync:voice;" + group0, 4},
                {idle0, 1}}),
         frames_bytes(pattern(0, 54))},
        {"clock 100 ppm slow, noisy",
         {"--ppm", "-100", "--snr", "20", "--seed", "11", "--superframes", "3"},
         lines({{idle0, 1},
                {idle1, 1},
                {idle0 + group0, 1},
                {"protocol:DMR;slot:0;sync:voice;" + group0, 4},
                {idle0, 1}}),
         frames_bytes(pattern(0, 54))},
    };
    for (const dmr_case &c : cases) {
        SCOPED_TRACE(c.name);
        chain_result r = dmr_chain(c.args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.meta, c.meta);
        EXPECT_TRUE(same_frames(r.out, c.voice, 12));
    }
}

TEST(DmrChain, TalkerAliasAndPositionInTheEmbeddedLcAndAHeaderWithAWrongCode) {
    // The odd superframes carry the alias header, its blocks and then the GPS
    // info; the header's wrong Reed-Solomon code drops its line, so the call
    // is first known from the embedded LC of superframe 0.
    const std::string idle0 = "protocol:DMR;slot:0;sync:data;", idle1 = "protocol:DMR;slot:1;sync:data;";
    const std::string voice0 = "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;";
    const std::string alias = "alias:M\xC3\xBCller\\x3BDL1;";
    const std::string position = "lat:-33.750000;lon:151.875000;";
    struct {
        const char *format;
        int superframes;   // two per alias part and position
        int before_alias;  // voice LC lines before the alias is complete
    } cases[] = {
        {"iso8859", 6, 2},  // 10 characters of 8 bits: header and block 1
        {"utf16", 8, 3},    // 10 code units of 16 bits: header and blocks 1 and 2
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        chain_result r = dmr_chain({"--snr", "20", "--seed", "3", "--alias", "M\xC3\xBCller;DL1", "--alias-format",
                                    c.format, "--position", "-33.75,151.875", "--bad-rs"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.meta, lines({{idle0, 1},
                                 {idle1, 1},
                                 {"protocol:DMR;slot:0;sync:voice;", 1},
                                 {voice0, c.before_alias},
                                 {voice0 + alias, 2},
                                 {voice0 + alias + position, 1},
                                 {idle0, 1}}));
        EXPECT_TRUE(same_frames(r.out, frames_bytes(pattern(0, c.superframes * 18)), 12));
        EXPECT_NE(r.err.find(" talker alias block 1 "), std::string::npos);
        EXPECT_NE(r.err.find(" gps info "), std::string::npos);
        EXPECT_EQ(r.err.find("unknown flc opcode"), std::string::npos);
    }
}

TEST(DmrChain, ACallAfterAnotherAcrossNoiseOfAnyLengthAndPhase) {
    // Two transmissions with 50 to 800 ms of receiver noise between them, the
    // gap's odd sample counts putting the second on another symbol phase and
    // burst grid: every voice frame of both arrives, and the second caller's
    // line.
    const std::string first = run_program(AIRMINT_PATH, {"--snr", "25", "--seed", "4"}, "").out;
    const std::string second =
        run_program(AIRMINT_PATH, {"--snr", "25", "--seed", "5", "-s", "1", "-t", "77", "--source", "3003"}, "").out;
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const std::string voice = frames_bytes(pattern(0, 18)) + frames_bytes(pattern(1000000, 18));
    const std::string path = make_temp_dir() + "/baseband";
    std::mt19937 random(9);
    std::normal_distribution<float> noise(0.0f, 0.6f);
    for (int trial = 0; trial < 24; ++trial) {
        const std::size_t gap =
            2400 + static_cast<std::size_t>(trial) * 1500 + static_cast<std::size_t>(trial * 97 % 1440);
        SCOPED_TRACE(std::to_string(gap) + " samples of noise");
        std::string gap_bytes(4 * gap, 0);
        for (std::size_t i = 0; i < gap; ++i) {
            const float v = noise(random);
            std::memcpy(&gap_bytes[4 * i], &v, 4);
        }
        std::ofstream(path, std::ios::binary) << first << gap_bytes << second;
        chain_result r = run_chain("cat \"$1\" | \"$2\" | \"$3\" -f \"$META\"", {path, QUADSLICE_PATH, TESSAVOX_PATH});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_TRUE(same_frames(r.out, voice, 12));
        EXPECT_NE(r.meta.find("protocol:DMR;slot:1;sync:voice;type:group;source:3003;target:77;\n"), std::string::npos)
            << r.meta;
    }
}

TEST(DmrChain, BothSlotsBusyGiveBothMetadataAndTheVoiceOfTheLockedSlot) {
    // Slot 0: group call of one superframe; slot 1: direct call of two
    // superframes, both starting together. Slot 0's voice burst comes first
    // in each timeslot pair, so slot 0 holds the voice until its terminator;
    // then slot 1's second superframe gets through.
    chain_result r = dmr_chain({"--snr", "20", "--seed", "3", "--other-direct", "--other-target", "77",
                                "--other-source", "88", "--other-superframes", "2"});
    const std::string group0 = "type:group;source:2001;target:9;", direct1 = "type:direct;source:88;target:77;";
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.meta, lines({{"protocol:DMR;slot:0;sync:data;", 1},
                             {"protocol:DMR;slot:1;sync:data;", 1},
                             {"protocol:DMR;slot:0;sync:data;" + group0, 1},
                             {"protocol:DMR;slot:1;sync:data;" + direct1, 1},
                             {"protocol:DMR;slot:0;sync:voice;" + group0, 1},
                             {"protocol:DMR;slot:1;sync:voice;" + direct1, 1},
                             {"protocol:DMR;slot:0;sync:voice;" + group0, 1},
                             {"protocol:DMR;slot:1;sync:voice;" + direct1, 1},
                             {"protocol:DMR;slot:0;sync:data;", 1},
                             {"protocol:DMR;slot:1;sync:voice;" + direct1, 1},
                             {"protocol:DMR;slot:1;sync:data;", 1}}));
    EXPECT_TRUE(same_frames(r.out, frames_bytes(pattern(0, 18)) + frames_bytes(pattern(1000000, 36), 18), 12));
}

TEST(DmrChain, WrongPolarityGivesNoVoiceAndNoCall) {
    // Sent inverted and received without -i, the stations' data syncs read
    // as voice syncs: no voice frame and no voice line may come of them, at
    // any SNR, with one call or both slots busy, base or mobile station.
    const std::vector<std::vector<std::string>> cases = {
        {"--invert"},
        {"--invert", "--snr", "20", "--seed", "3", "--other-call", "--other-superframes", "2"},
        {"--invert", "--snr", "12", "--seed", "5", "-s", "1", "--superframes", "4"},
        {"--invert", "--snr", "8", "--seed", "6", "--other-call"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(shell_words(args));
        chain_result r = dmr_chain_with_presence(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out.size(), 0u);
        EXPECT_EQ(r.meta.find("sync:voice"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("source:"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("signal:"), std::string::npos) << r.meta;
    }
}

std::size_t count_of(const std::string &text, const std::string &part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(DmrChain, CsbksArriveWithTheirFieldsAtSeveralSnrs) {
    // A control channel's CSBKs before a call: each one decoded is one line
    // with its opcode, feature set, name and addresses. At 9 dB a few may be
    // lost, never changed.
    const std::string outbound =
        "protocol:DMR;slot:1;csbk:56;fid:0;lb:1;pf:0;name:BS_Dwn_Act;source:3003;target:77;"
        "data:000000004D000BBB;\n";
    const std::string other_set = "protocol:DMR;slot:1;csbk:61;fid:16;lb:1;pf:0;data:000000004D000BBB;\n";
    for (const char *snr : {"", "20", "12", "9"}) {
        SCOPED_TRACE(snr);
        std::vector<std::string> args = {"-s", "1", "-t", "77", "--source", "3003"};
        for (int i = 0; i < 4; ++i) args.insert(args.end(), {"--csbk", "56", "--csbk", "61/16"});
        if (*snr) args.insert(args.end(), {"--snr", snr, "--seed", "12"});
        chain_result r = dmr_chain_with_presence(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        const std::size_t lines_of_csbk = count_of(r.meta, ";csbk:");
        EXPECT_EQ(count_of(r.meta, outbound) + count_of(r.meta, other_set), lines_of_csbk) << r.meta;
        if (std::string(snr) == "" || std::string(snr) == "20") {
            EXPECT_EQ(count_of(r.meta, outbound), 4u) << r.meta;
            EXPECT_EQ(count_of(r.meta, other_set), 4u);
        } else {
            EXPECT_GE(lines_of_csbk, 4u);
        }
        EXPECT_NE(r.meta.find("protocol:DMR;slot:1;signal:BS;cc:1;carries:control;\n"), std::string::npos) << r.meta;
        // The call after them is decoded as before.
        EXPECT_NE(r.meta.find("protocol:DMR;slot:1;sync:voice;type:group;source:3003;target:77;"), std::string::npos);
    }
}

TEST(DmrChain, TextMessagesAndLocationsAtEveryRateAndSeveralSnrs) {
    // Each message decoded is reported whole with its text or position;
    // a damaged one is dropped and counted, never shown changed.
    const std::string text =
        "text:Gr\xC3\xBC\xC3\x9F"
        "e aus M\xC3\xBCnchen\\x3B 73;";
    const std::string where = "lat:48.137154;lon:11.576124;";
    struct data_case {
        std::vector<std::string> args;
        bool all;  // every message must arrive
    };
    const std::vector<data_case> cases = {
        {{"--data-rate", "half"}, true},
        {{"--data-rate", "three-quarter", "--snr", "20", "--seed", "2"}, true},
        {{"--data-rate", "one", "--confirmed", "--snr", "25", "--seed", "3"}, true},
        {{"--data-rate", "half", "--confirmed", "--snr", "12", "--seed", "4"}, false},
        {{"--data-rate", "three-quarter", "--snr", "9", "--seed", "5"}, false},
        {{"--text-format", "utf16le", "--snr", "20", "--seed", "6"}, true},
    };
    for (const data_case &k : cases) {
        std::vector<std::string> args = {"--no-voice", "-s", "1", "--direct", "-t", "4321", "--source", "1234567"};
        for (int i = 0; i < 3; ++i)
            args.insert(args.end(), {"--text",
                                     "Gr\xC3\xBC\xC3\x9F"
                                     "e aus M\xC3\xBCnchen; 73",
                                     "--location", "48.137154,11.576124"});
        args.insert(args.end(), k.args.begin(), k.args.end());
        SCOPED_TRACE(shell_words(args));
        chain_result r = dmr_chain(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        const std::size_t messages = count_of(r.meta, ";data:");
        const std::size_t texts = count_of(r.meta, ";text:"), good_texts = count_of(r.meta, text);
        const std::size_t positions = count_of(r.meta, ";lat:"), good_positions = count_of(r.meta, where);
        EXPECT_EQ(texts, good_texts) << r.meta;
        EXPECT_EQ(positions, good_positions) << r.meta;
        EXPECT_EQ(messages, texts + positions) << r.meta;
        EXPECT_EQ(count_of(r.meta, "source:1234567;target:4321;group:0;"), messages);
        if (k.all) {
            EXPECT_EQ(good_texts, 3u) << r.meta;
            EXPECT_EQ(good_positions, 3u) << r.meta;
            EXPECT_EQ(count_of(r.meta, "data_dropped"), 0u);
        } else {
            EXPECT_GE(messages, 1u) << r.meta;
        }
    }
}

TEST(DmrChain, EncryptedAndEmergencyCallsSaySoAndClearCallsNever) {
    const std::string flags = "encrypted:1;algorithm:33;key_id:5;emergency:1;\n";
    for (const char *snr : {"", "20", "12"}) {
        SCOPED_TRACE(snr);
        std::vector<std::string> args = {"--privacy", "33:5", "--emergency", "--superframes", "3"};
        if (*snr) args.insert(args.end(), {"--snr", snr, "--seed", "8"});
        chain_result r = dmr_chain(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_GE(count_of(r.meta, "sync:voice;type:group;source:2001;target:9;" + flags), 1u) << r.meta;
        // Every line that names an algorithm names the one sent.
        EXPECT_EQ(count_of(r.meta, "algorithm:"), count_of(r.meta, "algorithm:33;key_id:5;"));
    }
    for (const char *snr : {"20", "12", "9"}) {
        SCOPED_TRACE(snr);
        chain_result r = dmr_chain({"--snr", snr, "--seed", "9", "--superframes", "6", "--other-call"});
        EXPECT_NE(r.meta.find("sync:voice"), std::string::npos);
        EXPECT_EQ(r.meta.find("encrypted"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("emergency"), std::string::npos) << r.meta;
    }
}

TEST(DmrChain, NoiseGivesNoControlOrDataReport) {
    // Nothing but noise, and a transmission far below the noise: no CSBK
    // or data line, whatever the seed.
    for (const char *seed : {"1", "2", "3"}) {
        chain_result r = dmr_chain_with_presence({"--snr", "-15", "--seed", seed, "--superframes", "30"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.meta.find(";csbk:"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find(";data:"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("encrypted"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("emergency"), std::string::npos) << r.meta;
        EXPECT_EQ(r.meta.find("signal:"), std::string::npos) << r.meta;
    }
}

TEST(DmrChain, SpeechLeavesTheWholeChain) {
    // airmint | quadslice | tessavox | voxloom | speechsieve: 160 samples of
    // 16 bits for every one of the call's 18 frames.
    chain_result r = run_chain("\"$1\" | \"$2\" | \"$3\" -f \"$META\" | \"$4\" | \"$5\"",
                               {AIRMINT_PATH, QUADSLICE_PATH, TESSAVOX_PATH, VOXLOOM_PATH, SPEECHSIEVE_PATH});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.size(), 18u * 160u * 2u);
    EXPECT_NE(r.meta.find("protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;\n"), std::string::npos);
}

// The plan airmint sends for the options of a case, built here from the
// encoder's own defaults and the options' meaning.
ysf_encode::transmission_plan ysf_plan(uint8_t data_type, int frames) {
    ysf_encode::transmission_plan plan;
    plan.data_type = data_type;
    plan.calls.target = ysf_encode::call_sign("ALL");
    plan.calls.source = ysf_encode::call_sign("DL1ABC");
    plan.calls.down = ysf_encode::call_sign("DOWNLINK");
    plan.calls.up = ysf_encode::call_sign("UPLINK");
    plan.communication_frames = frames;
    return plan;
}

std::string voice_records(const ysf_encode::transmission_plan &plan) {
    ysf_encode::transmission t;
    EXPECT_TRUE(ysf_encode::build_transmission(plan, t));
    return std::string(t.voice_records.begin(), t.voice_records.end());
}

const std::vector<std::string> ysf_calls = {"--source", "DL1ABC", "--down", "DOWNLINK", "--up", "UPLINK"};
const std::string header_line1 = "protocol:YSF;source:DL1ABC    ;target:ALL       ;";
const std::string calls_fields = "source:DL1ABC    ;target:ALL       ;up:UPLINK    ;down:DOWNLINK  ;";

std::vector<std::string> with_calls(std::vector<std::string> args) {
    args.insert(args.end(), ysf_calls.begin(), ysf_calls.end());
    return args;
}

TEST(YsfChain, VoiceDataMode2CarriesCallSignsRadioAndPosition) {
    // 16 frames: frames 0..3 of the first cycle send their call sign each
    // (two lines per frame), the radio data block of frames 6 and 7 is
    // reported from frame 0 of the second cycle on.
    ysf_encode::transmission_plan plan = ysf_plan(ysf_encode::fich_dt_vd_mode2, 16);
    plan.has_position = true;
    plan.latitude = 51.502;
    plan.longitude = -0.125;
    plan.radio_model = 0x28;
    const std::string mode = "protocol:YSF;mode:DN;" + calls_fields;
    const std::string radio = mode + "lat:51.501999;lon:-0.125000;radio:FT-2D;";
    const std::string expected_meta =
        lines({{header_line1, 1}, {"protocol:YSF;" + calls_fields, 1}, {mode, 13}, {radio, 11}, {"protocol:YSF;", 1}});
    for (const auto &channel : std::vector<std::vector<std::string>>{{}, {"--snr", "20", "--seed", "5"}}) {
        std::vector<std::string> args = with_calls({"--position", "51.502,-0.125", "--radio", "28"});
        args.insert(args.end(), channel.begin(), channel.end());
        SCOPED_TRACE(shell_words(args));
        chain_result r = ysf_chain(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.meta, expected_meta);
        EXPECT_TRUE(same_frames(r.out, voice_records(plan), 8));
    }
}

TEST(YsfChain, ModeOneAndFullRateVoiceThroughNoiseAndClockError) {
    struct ysf_case {
        std::vector<std::string> args;
        uint8_t data_type;
        const char *mode;
    };
    const std::vector<ysf_case> cases = {
        {{"--mode", "v1", "--frames", "12", "--ppm", "100"}, ysf_encode::fich_dt_vd_mode1, "V1"},
        {{"--mode", "vw", "--frames", "12", "--snr", "20", "--seed", "9"}, ysf_encode::fich_dt_voice_full_rate, "VW"},
        {{"--mode", "vw", "--frames", "12", "--ppm", "-100", "--snr", "20"}, ysf_encode::fich_dt_voice_full_rate, "VW"},
    };
    for (const ysf_case &c : cases) {
        SCOPED_TRACE(shell_words(c.args));
        chain_result r = ysf_chain(with_calls(c.args));
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.meta, lines({{header_line1, 1},
                                 {"protocol:YSF;" + calls_fields, 1},
                                 {"protocol:YSF;mode:" + std::string(c.mode) + ";" + calls_fields, 12},
                                 {"protocol:YSF;", 1}}));
        EXPECT_TRUE(same_frames(r.out, voice_records(ysf_plan(c.data_type, 12)), 1 + codec_frame_size(c.data_type)));
    }
}

// Positions at the ends of the longitude code's ranges and on whole
// degrees, 9 degrees east among them, arrive exact.
TEST(YsfChain, PositionsAtTheRangeEndsArrive) {
    const std::pair<const char *, const char *> cases[] = {
        {"47,9", "lat:47.000000;lon:9.000000;"},           {"0,0", "lat:0.000000;lon:0.000000;"},
        {"1,99.5", "lat:1.000000;lon:99.500000;"},         {"10,109.75", "lat:10.000000;lon:109.750000;"},
        {"-33,-179.5", "lat:-33.000000;lon:-179.500000;"},
    };
    for (const auto &[position, fields] : cases) {
        SCOPED_TRACE(position);
        chain_result r = ysf_chain({"--position", position});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err.find("gps decoding failed"), std::string::npos);
        EXPECT_NE(r.meta.find(std::string(fields) + "radio:FT-70D;\n"), std::string::npos) << r.meta;
    }
}

// Voice/data mode 1 joined after its header: the data channel of frames 0
// and 1 brings the call signs.
TEST(YsfChain, ModeOneLateEntryBringsTheCallSigns) {
    // Lead-in and header: 960 symbols, cut off before the decoder.
    chain_result r = run_chain(
        "\"$1\" -p ysf -o symbols --mode v1 --frames 10 \"$3\" \"$4\" \"$5\" \"$6\" \"$7\" \"$8\" | tail -c +961 | "
        "\"$2\" -f \"$META\"",
        {AIRMINT_PATH, ORBAVOX_PATH, ysf_calls[0], ysf_calls[1], ysf_calls[2], ysf_calls[3], ysf_calls[4],
         ysf_calls[5]});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.meta, lines({{"protocol:YSF;mode:V1;", 1},
                             {"protocol:YSF;mode:V1;" + header_line1.substr(13), 2},
                             {"protocol:YSF;mode:V1;" + calls_fields, 9},
                             {"protocol:YSF;", 1}}));
    EXPECT_TRUE(same_frames(r.out, voice_records(ysf_plan(ysf_encode::fich_dt_vd_mode1, 10)), 13));
}

// A reply 150 to 195 ms after a transmission's terminator, at several
// frame and sample phases: all of both transmissions arrives, the reply's
// header call signs included.
TEST(YsfChain, ReplyAfterATerminatorArrivesWhole) {
    const std::string first = "\"$1\" -p ysf --mode v1 --frames 6 --seed 3 --snr 20";
    const std::string reply = "\"$1\" -p ysf --source JA1XYZ -t DL1ABC --frames 10 --seed 4 --snr 20";
    const std::string receiver = " | \"$2\" | \"$3\" -f \"$META\"";
    const std::vector<std::string> programs = {AIRMINT_PATH, QUADSLICE_PATH, ORBAVOX_PATH};
    chain_result first_alone = run_chain(first + receiver, programs);
    chain_result reply_alone = run_chain(reply + receiver, programs);
    ASSERT_NE(reply_alone.meta.find("protocol:YSF;source:JA1XYZ    ;target:DL1ABC    ;\n"), std::string::npos);
    ASSERT_EQ(reply_alone.out.size(), 50u * 8);
    // 720 symbols of idle between the two (the tail and the lead-in), then
    // silence of 0, 97.3 or 217 symbols (10 samples of 4 bytes each).
    for (int silence_bytes : {0, 3892, 8680}) {
        SCOPED_TRACE(silence_bytes);
        chain_result r = run_chain(
            "{ " + first + "; head -c " + std::to_string(silence_bytes) + " /dev/zero; " + reply + "; }" + receiver,
            programs);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(same_frames(r.out, first_alone.out + reply_alone.out, 8));
        EXPECT_EQ(r.meta, first_alone.meta + reply_alone.meta);
    }
}

TEST(YsfChain, SpeechLeavesTheWholeChain) {
    // 16 frames of 5 voice/data mode 2 records, 160 samples each.
    chain_result r = run_chain("\"$1\" -p ysf | \"$2\" | \"$3\" -f \"$META\" | \"$4\" -y",
                               {AIRMINT_PATH, QUADSLICE_PATH, ORBAVOX_PATH, VOXLOOM_PATH});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.size(), 80u * 160u * 2u);
    EXPECT_NE(r.meta.find("protocol:YSF;mode:DN;"), std::string::npos);
}

TEST(PocsagChain, PagesThroughNoiseClockErrorAndBothPolarities) {
    const std::vector<std::string> pages = {
        "--numeric-page",      "10:12345", "--page", "1234567:Pages through the whole chain", "--numeric-page",
        "2097151/0:911 (U)-*", "--page",   "8:AB"};
    const std::string expected =
        "address:10;message:12345\n"
        "address:1234567;message:Pages through the whole chain\n"
        "address:2097151;message:911 (U)-* \n"  // filled up with a space
        "address:8;message:AB\n";
    struct pocsag_case {
        bool invert_bits;
        std::vector<std::string> channel;
    };
    const std::vector<pocsag_case> cases = {
        {true, {}},
        {true, {"--snr", "10", "--seed", "2"}},
        {true, {"--ppm", "100", "--snr", "15"}},
        {true, {"--ppm", "-100", "--amplitude", "0.1", "--offset", "0.05"}},
        {false, {"--invert"}},
    };
    for (const pocsag_case &c : cases) {
        std::vector<std::string> args = pages;
        args.insert(args.end(), c.channel.begin(), c.channel.end());
        SCOPED_TRACE(shell_words(c.channel) + (c.invert_bits ? " | duoslice -i" : " | duoslice"));
        chain_result r = pocsag_chain(c.invert_bits, args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err.find("failure"), std::string::npos) << r.err;
    }
}

TEST(PocsagChain, WrongPolarityFindsNoPage) {
    // Without -i the demodulated bits are the complement: no sync codeword.
    chain_result r = pocsag_chain(false, {"--page", "1234567:Hello"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
