// SPDX-License-Identifier: MIT
// The three filter programs run as real processes through real pipes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "dc_blocker.h"
#include "rrc_filter.h"
#include "speech_band.h"
#include "testing/process.h"
#include "version.h"

namespace {

const char speechsieve_usage[] =
    "speechsieve version " ZELVANE_VERSION "\n\nUsage: speechsieve [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -f, --float     use 32-bit float in and out (without this flag: 16-bit signed integer)\n"
    " -v, --version   print version and exit\n";
const char pulsesieve_usage[] =
    "pulsesieve version " ZELVANE_VERSION "\n\nUsage: pulsesieve [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n";
const char zeroglide_usage[] =
    "zeroglide version " ZELVANE_VERSION "\n\nUsage: zeroglide [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n";
const char version_line[] = "zelvane version " ZELVANE_VERSION "\n";
const char float_notice[] = "speechsieve: switching to floating point operation\n";

// One way of running a filter program: its options, what it prints on
// standard error for them, its input element and block, and the same filter
// in-process for the expected output.
struct filter_run {
    const char *name;
    const char *path;
    std::vector<std::string> args;
    std::string notice;
    std::size_t element;  // bytes per sample
    std::size_t block;    // samples per read
    std::function<std::string(const std::string &)> expected;
};

std::string expect_speech_int16(const std::string &bytes) {
    std::vector<int16_t> samples = from_bytes<int16_t>(bytes);
    speech_band_state state;
    speech_band_filter_int16(state, samples.data(), samples.size());
    return as_bytes(samples);
}

std::string expect_speech_float(const std::string &bytes) {
    std::vector<float> samples = from_bytes<float>(bytes);
    speech_band_state state;
    speech_band_filter_float(state, samples.data(), samples.size());
    return as_bytes(samples);
}

std::string expect_rrc(const std::string &bytes) {
    std::vector<float> samples = from_bytes<float>(bytes);
    rrc_state state;
    rrc_filter(state, samples.data(), samples.size());
    return as_bytes(samples);
}

std::string expect_dc_blocker(const std::string &bytes) {
    std::vector<float> samples = from_bytes<float>(bytes);
    dc_blocker_state state;
    dc_blocker_filter(state, samples.data(), samples.size());
    return as_bytes(samples);
}

const std::vector<filter_run> &all_runs() {
    static const std::vector<filter_run> runs = {
        {"speechsieve", SPEECHSIEVE_PATH, {}, "", 2, 32, expect_speech_int16},
        {"speechsieve -f", SPEECHSIEVE_PATH, {"-f"}, float_notice, 4, 32, expect_speech_float},
        {"pulsesieve", PULSESIEVE_PATH, {}, "", 4, 256, expect_rrc},
        {"zeroglide", ZEROGLIDE_PATH, {}, "", 4, 256, expect_dc_blocker},
    };
    return runs;
}

// A speech-like or baseband-like test signal of samples of the run's element.
std::string test_signal(const filter_run &run, std::size_t samples) {
    uint32_t seed = 2024;
    std::vector<float> floats(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        seed = seed * 1664525u + 1013904223u;
        floats[i] = 0.6f * std::sin(0.37f * static_cast<float>(i)) + static_cast<float>(seed >> 8) / 3.4e7f - 0.2f;
    }
    if (run.element == 4) return as_bytes(floats);
    std::vector<int16_t> ints(samples);
    for (std::size_t i = 0; i < samples; ++i) ints[i] = static_cast<int16_t>(floats[i] * 32000.0f);
    return as_bytes(ints);
}

std::vector<std::string> with(const filter_run &run, std::vector<std::string> more) {
    std::vector<std::string> args = run.args;
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

void PrintTo(const filter_run &run, std::ostream *os) { *os << run.name; }

class FilterRun : public ::testing::TestWithParam<filter_run> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Programs, FilterRun, ::testing::ValuesIn(all_runs()),
                         [](const ::testing::TestParamInfo<filter_run> &info) {
                             std::string name;
                             for (char c : std::string(info.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

TEST(FilterPrograms, VersionAndUsageTexts) {
    struct {
        const char *path;
        const char *usage;
    } programs[] = {
        {SPEECHSIEVE_PATH, speechsieve_usage}, {PULSESIEVE_PATH, pulsesieve_usage}, {ZEROGLIDE_PATH, zeroglide_usage}};
    for (auto p : programs) {
        for (const char *option : {"-v", "--version"}) {
            program_result r = run_program(p.path, {option}, "");
            EXPECT_EQ(r.out, version_line) << p.path << " " << option;
            EXPECT_EQ(r.err, "") << p.path << " " << option;
            EXPECT_EQ(r.exit_code, 0);
        }
        for (const char *option : {"-h", "--help"}) {
            program_result r = run_program(p.path, {option}, "");
            EXPECT_EQ(r.out, "") << p.path << " " << option;
            EXPECT_EQ(r.err, p.usage) << p.path << " " << option;
            EXPECT_EQ(r.exit_code, 0);
        }
        program_result version_first = run_program(p.path, {"-v", "-h"}, "");
        EXPECT_EQ(version_first.out, version_line);
        EXPECT_EQ(version_first.err, "");
        program_result usage_first = run_program(p.path, {"-h", "-v"}, "");
        EXPECT_EQ(usage_first.out, "");
        EXPECT_EQ(usage_first.err, p.usage);
        EXPECT_EQ(usage_first.exit_code, 0);
    }
}

TEST(FilterPrograms, SpeechsieveFloatOptionActsInCommandLineOrder) {
    const filter_run &float_run = all_runs()[1];
    const std::string input = test_signal(float_run, 100);
    struct {
        std::vector<std::string> args;
        std::string err;
        bool filters;
    } cases[] = {
        {{"-f"}, float_notice, true},
        {{"--float"}, float_notice, true},
        {{"-f", "-f"}, std::string(float_notice) + float_notice, true},
        {{"-f", "-h"}, std::string(float_notice) + speechsieve_usage, false},
        {{"-h", "-f"}, speechsieve_usage, false},
        {{"-f", "-v"}, float_notice, false},
    };
    for (const auto &c : cases) {
        program_result r = run_program(SPEECHSIEVE_PATH, c.args, input);
        EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.args);
        EXPECT_EQ(r.out, c.filters ? expect_speech_float(input) : (c.args.back() == "-v" ? version_line : ""))
            << ::testing::PrintToString(c.args);
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST_P(FilterRun, UnknownOptionsAndWordsAreIgnored) {
    const filter_run &run = GetParam();
    const std::string input = test_signal(run, 300);
    program_result r = run_program(run.path, with(run, {"-x", "--bogus", "stray"}), input);
    EXPECT_EQ(r.out, run.expected(input)) << run.name;
    EXPECT_NE(r.err.find("'x'"), std::string::npos) << run.name << ": " << r.err;
    EXPECT_NE(r.err.find("--bogus"), std::string::npos) << run.name << ": " << r.err;
    EXPECT_EQ(r.exit_code, 0) << run.name;
}

TEST_P(FilterRun, EmptyInputWritesNothing) {
    const filter_run &run = GetParam();
    program_result r = run_program(run.path, run.args, "");
    EXPECT_EQ(r.out, "") << run.name;
    EXPECT_EQ(r.err, run.notice) << run.name;
    EXPECT_EQ(r.exit_code, 0) << run.name;
}

TEST_P(FilterRun, TrailingPartialSampleIsDropped) {
    const filter_run &run = GetParam();
    const std::string whole = test_signal(run, run.block * 4);
    for (std::size_t extra = 1; extra < run.element; ++extra) {
        program_result r = run_program(run.path, run.args, whole + std::string(extra, '\x7f'));
        EXPECT_EQ(r.out.size(), whole.size()) << run.name << " with " << extra << " stray bytes";
        EXPECT_EQ(r.out, run.expected(whole)) << run.name;
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST(FilterPrograms, StatedVectorsEndToEnd) {
    // 16-bit speech band-pass: full-scale impulses of either sign.
    struct {
        int16_t impulse;
        std::vector<int16_t> first_outputs;
    } impulses[] = {{32767, {11604, 11893, -16968, -11470}}, {-32768, {-11605, -11894, 16968, 11471}}};
    for (const auto &c : impulses) {
        std::vector<int16_t> input(40, 0);
        input[0] = c.impulse;
        std::vector<int16_t> out = from_bytes<int16_t>(run_program(SPEECHSIEVE_PATH, {}, as_bytes(input)).out);
        ASSERT_EQ(out.size(), input.size());
        EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 4), c.first_outputs) << c.impulse;
    }

    // Pulse filter: a constant 1.0 settles to 1.0000002 from output 80 on.
    program_result pulse = run_program(PULSESIEVE_PATH, {}, as_bytes(std::vector<float>(300, 1.0f)));
    std::vector<float> pulse_out = from_bytes<float>(pulse.out);
    ASSERT_EQ(pulse_out.size(), 300u);
    EXPECT_EQ(pulse_out[0], static_cast<float>(rrc_taps[80] / rrc_normaliser));
    EXPECT_NE(pulse_out[79], 1.0000002f);
    for (std::size_t n = 80; n < pulse_out.size(); ++n) ASSERT_EQ(pulse_out[n], 1.0000002f) << n;

    // DC blocker: the first output is 0.9975 times the first input, then the
    // step decays by 0.995 per sample.
    program_result dc = run_program(ZEROGLIDE_PATH, {}, as_bytes(std::vector<float>(300, 2.0f)));
    std::vector<float> dc_out = from_bytes<float>(dc.out);
    ASSERT_EQ(dc_out.size(), 300u);
    EXPECT_EQ(dc_out[0], 2.0f * 0.9975f);
    for (std::size_t n = 1; n < dc_out.size(); ++n) ASSERT_EQ(dc_out[n], dc_out[n - 1] * 0.995f) << n;
}

TEST_P(FilterRun, SameBytesForAnySplitOfTheInput) {
    const filter_run &run = GetParam();
    const std::string input = test_signal(run, run.block * 3 + 13);
    const std::string expected = run.expected(input);
    for (std::size_t chunk :
         {std::size_t{0}, std::size_t{1}, std::size_t{3}, run.element * run.block - 1, run.element * run.block + 3}) {
        program_result r = run_program(run.path, run.args, input, chunk);
        EXPECT_EQ(r.out, expected) << run.name << " in chunks of " << chunk;
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST_P(FilterRun, EachBlockLeavesBeforeTheNextIsRead) {
    const filter_run &run = GetParam();
    const std::size_t block_bytes = run.element * run.block;
    const std::string input = test_signal(run, run.block * 2);
    const std::string expected = run.expected(input);
    running_program p = start_program(run.path, run.args);
    ASSERT_TRUE(write_input(p, input.substr(0, block_bytes)));
    EXPECT_EQ(read_output(p, block_bytes, 5000), expected.substr(0, block_bytes)) << run.name << ", block 1";
    ASSERT_TRUE(write_input(p, input.substr(block_bytes)));
    EXPECT_EQ(read_output(p, block_bytes, 5000), expected.substr(block_bytes)) << run.name << ", block 2";
    program_result r = finish_program(p, 5000);
    EXPECT_EQ(r.out, "") << run.name;
    EXPECT_EQ(r.err, run.notice) << run.name;
    EXPECT_EQ(r.exit_code, 0) << run.name;
}

TEST_P(FilterRun, GarbageAndNonFiniteSamplesNeverStopTheRun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const filter_run &run = GetParam();
    std::string input = test_signal(run, 1000);
    uint32_t seed = 5;
    for (std::size_t i = 0; i < 4000; ++i) input.push_back(static_cast<char>((seed = seed * 69069u + 1u) >> 24));
    for (float bad : {nan, inf, -inf, 3e38f, -nan}) input += std::string(reinterpret_cast<const char *>(&bad), 4);
    program_result r = run_program(run.path, run.args, input, 0, 10000);
    EXPECT_FALSE(r.timed_out) << run.name;
    EXPECT_EQ(r.signal, 0) << run.name;
    EXPECT_EQ(r.exit_code, 0) << run.name;
    EXPECT_EQ(r.out, run.expected(input)) << run.name;
}

TEST_P(FilterRun, ClosedDownstreamEndsTheRunCleanly) {
    const filter_run &run = GetParam();
    running_program p = start_program(run.path, run.args);
    close(p.out);
    p.out = -1;
    write_input(p, test_signal(run, run.block * 64));
    program_result r = finish_program(p, 5000);
    EXPECT_FALSE(r.timed_out) << run.name;
    EXPECT_EQ(r.signal, 0) << run.name;
    EXPECT_EQ(r.exit_code, 0) << run.name;
}
