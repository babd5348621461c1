// SPDX-License-Identifier: MIT
// quadslice and duoslice run as real processes through real pipes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "duoslice.h"
#include "quadslice.h"
#include "test_signal.h"
#include "testing/process.h"
#include "version.h"

namespace {

const char quadslice_usage[] =
    "quadslice version " ZELVANE_VERSION "\n\nUsage: quadslice [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n";
const char duoslice_usage[] =
    "duoslice version " ZELVANE_VERSION "\n\nUsage: duoslice [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    invert bits (used e.g in pocsag)\n";
const char version_line[] = "zelvane version " ZELVANE_VERSION "\n";

std::string quadslice_reference(const std::vector<float> &samples) {
    auto state = std::make_unique<quadslice_state>();
    return as_bytes(demodulate(*state, quadslice_block, samples, {256}));
}

std::string duoslice_reference(const std::vector<float> &samples) {
    auto state = std::make_unique<duoslice_state>();
    return as_bytes(demodulate(*state, duoslice_block, samples, {256}));
}

std::string flipped(std::string bits) {
    for (char &b : bits) b = b ? 0 : 1;
    return bits;
}

void expect_clean_exit(const program_result &r) {
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(r.timed_out);
}

}  // namespace

TEST(DemodPrograms, HelpAndVersionTexts) {
    struct {
        const char *path;
        std::vector<std::string> args;
        std::string out, err;
    } cases[] = {
        {QUADSLICE_PATH, {"-h"}, "", quadslice_usage},
        {QUADSLICE_PATH, {"--help"}, "", quadslice_usage},
        {QUADSLICE_PATH, {"-v"}, version_line, ""},
        {QUADSLICE_PATH, {"--version"}, version_line, ""},
        {QUADSLICE_PATH, {"-v", "-h"}, version_line, ""},
        {QUADSLICE_PATH, {"-h", "-v"}, "", quadslice_usage},
        {DUOSLICE_PATH, {"-h"}, "", duoslice_usage},
        {DUOSLICE_PATH, {"--help"}, "", duoslice_usage},
        {DUOSLICE_PATH, {"-v"}, version_line, ""},
        {DUOSLICE_PATH, {"--version"}, version_line, ""},
        {DUOSLICE_PATH, {"-v", "-h"}, version_line, ""},
        {DUOSLICE_PATH, {"-h", "-v"}, "", duoslice_usage},
        {DUOSLICE_PATH, {"-i", "--help"}, "", duoslice_usage},
        {DUOSLICE_PATH, {"-iv"}, version_line, ""},
    };
    // The input is never read: the run ends during option parsing.
    const std::string input = as_bytes(std::vector<float>(1000, 0.0f));
    for (const auto &c : cases) {
        program_result r = run_program(c.path, c.args, input);
        std::string what = std::string(c.path) + " " + c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_EQ(r.err, c.err) << what;
        expect_clean_exit(r);
    }
}

TEST(DemodPrograms, UnknownOptionsAreReportedAndIgnored) {
    const std::vector<float> samples = drifting_symbols(3000, 10.03, four_levels, 1);
    const std::string input = as_bytes(samples);
    struct {
        const char *path;
        std::vector<std::string> args;
        std::string complaint, out;
    } cases[] = {
        {QUADSLICE_PATH, {"--bogus"}, ": unrecognized option '--bogus'\n", quadslice_reference(samples)},
        {QUADSLICE_PATH, {"-x", "word"}, ": invalid option -- 'x'\n", quadslice_reference(samples)},
        {DUOSLICE_PATH, {"--bogus", "-i"}, ": unrecognized option '--bogus'\n", flipped(duoslice_reference(samples))},
        {DUOSLICE_PATH, {"-q"}, ": invalid option -- 'q'\n", duoslice_reference(samples)},
    };
    for (const auto &c : cases) {
        program_result r = run_program(c.path, c.args, input);
        EXPECT_EQ(r.err, c.path + c.complaint);
        EXPECT_EQ(r.out, c.out) << c.path << " " << c.args[0];
        expect_clean_exit(r);
    }
}

TEST(DemodPrograms, EmptyShortAndTruncatedInput) {
    const std::vector<float> samples = drifting_symbols(1000, 10.0, four_levels, 2);
    const std::string whole = as_bytes(samples);
    for (const char *path : {QUADSLICE_PATH, DUOSLICE_PATH}) {
        program_result empty = run_program(path, {}, "");
        EXPECT_EQ(empty.out, "") << path;
        EXPECT_EQ(empty.err, "") << path;
        expect_clean_exit(empty);

        // Too few samples for one window: nothing at all.
        program_result short_input = run_program(path, {}, as_bytes(std::vector<float>(11, 1.0f)) + "\x01\x02");
        EXPECT_EQ(short_input.out, "") << path;
        expect_clean_exit(short_input);

        // A trailing partial sample is dropped.
        std::string expected = run_program(path, {}, whole).out;
        ASSERT_FALSE(expected.empty());
        for (int extra : {1, 3}) {
            program_result r = run_program(path, {}, whole + std::string(static_cast<size_t>(extra), '\x7f'));
            EXPECT_EQ(r.out, expected) << path << " with " << extra << " extra bytes";
            expect_clean_exit(r);
        }
    }
    EXPECT_EQ(run_program(QUADSLICE_PATH, {}, whole).out, quadslice_reference(samples));
    EXPECT_EQ(run_program(DUOSLICE_PATH, {}, whole).out, duoslice_reference(samples));
}

TEST(DemodPrograms, SameBytesWhateverTheChunkSize) {
    const std::vector<float> symbols = drifting_symbols(5000, 10.03, four_levels, 3);
    const std::vector<float> bits = drifting_symbols(5000, 40.1, two_levels, 4);
    struct {
        const char *path;
        std::vector<std::string> args;
        const std::vector<float> &samples;
        std::string expected;
    } cases[] = {
        {QUADSLICE_PATH, {}, symbols, quadslice_reference(symbols)},
        {DUOSLICE_PATH, {}, bits, duoslice_reference(bits)},
        {DUOSLICE_PATH, {"-i"}, bits, flipped(duoslice_reference(bits))},
        {DUOSLICE_PATH, {"--invert"}, bits, flipped(duoslice_reference(bits))},
    };
    for (const auto &c : cases) {
        const std::string input = as_bytes(c.samples);
        for (size_t chunk : {0, 5, 1025}) {
            program_result r = run_program(c.path, c.args, input, chunk);
            EXPECT_EQ(r.out, c.expected) << c.path << " chunk " << chunk;
            EXPECT_EQ(r.err, "");
            expect_clean_exit(r);
        }
    }
}

TEST(DemodPrograms, EachBlockLeavesBeforeTheNextIsRead) {
    // A block of 256 samples completes 25 symbols or 6 bits; the next block
    // 26 symbols or 6 bits.
    struct {
        const char *path;
        size_t first, second;
    } cases[] = {{QUADSLICE_PATH, 25, 26}, {DUOSLICE_PATH, 6, 6}};
    const std::string block = as_bytes(std::vector<float>(256, 0.0f));
    for (const auto &c : cases) {
        running_program p = start_program(c.path, {});
        ASSERT_TRUE(write_input(p, block));
        EXPECT_EQ(read_output(p, c.first, 5000).size(), c.first) << c.path;
        ASSERT_TRUE(write_input(p, block));
        EXPECT_EQ(read_output(p, c.second, 5000).size(), c.second) << c.path;
        // Four more samples complete no window: nothing follows.
        ASSERT_TRUE(write_input(p, as_bytes(std::vector<float>(4, 0.0f))));
        program_result r = finish_program(p);
        EXPECT_EQ(r.out, "") << c.path;
        expect_clean_exit(r);
    }
}

TEST(DemodPrograms, GarbageInputNeverCrashes) {
    // Random bytes are full of NaN, infinite and huge samples.
    std::string garbage(400000, '\0');
    uint32_t seed = 99;
    for (char &c : garbage) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    const size_t samples = garbage.size() / 4;
    struct {
        const char *path;
        char highest;
        size_t at_least;
    } cases[] = {{QUADSLICE_PATH, 3, (samples - 12) / 11}, {DUOSLICE_PATH, 1, (samples - 42) / 41}};
    for (const auto &c : cases) {
        program_result r = run_program(c.path, {}, garbage, 777);
        expect_clean_exit(r);
        EXPECT_GE(r.out.size(), c.at_least) << c.path;
        for (char b : r.out) ASSERT_TRUE(b >= 0 && b <= c.highest) << c.path;
    }
}

TEST(DemodPrograms, ClosedDownstreamEndsTheRunCleanly) {
    const std::string input = as_bytes(std::vector<float>(100000, 0.5f));
    for (const char *path : {QUADSLICE_PATH, DUOSLICE_PATH}) {
        running_program p = start_program(path, {});
        close(p.out);
        p.out = -1;
        write_input(p, input);  // fails once the program has gone
        program_result r = finish_program(p);
        expect_clean_exit(r);
    }
}
