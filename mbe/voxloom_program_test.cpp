// SPDX-License-Identifier: MIT
// voxloom as a process through real pipes. The silent build's output is
// known to the byte: 160 zero samples per frame and empty error texts, after
// the one-line notice that it has no vocoder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "testing/process.h"
#include "version.h"

namespace {

const std::string silent = SILENT_VOXLOOM_PATH;
const std::string notice = "voxloom: built without mbelib: no vocoder, the output is silence\n";

const char usage_text[] =
    "voxloom version " ZELVANE_VERSION "\n\nUsage: voxloom [options]\n\nAvailable options:\n"
    " -h, --help              show this message\n"
    " -v, --version           print version and exit\n"
    " -u, --unvoiced-quality  set mbelib unvoide quality level (higher values require more cpu; default: 1)\n"
    " -y, --yaesu             activate YSF mode (allows in-stream switching of different mbe codecs)\n"
    " -f, --float             output 32-bit floating-point samples (default: 16-bit signed integer)\n";

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

std::string silence(size_t frames, size_t sample_bytes) { return std::string(frames * 160 * sample_bytes, '\0'); }

void expect_clean_exit(const program_result &r) {
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(r.timed_out);
}

}  // namespace

TEST(VoxloomProgram, VersionAndUsage) {
    struct {
        std::vector<std::string> args;
        std::string out;
        std::string err;
    } cases[] = {
        {{"-v"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"--version"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h"}, "", usage_text},
        {{"--help"}, "", usage_text},
        {{"-v", "-h"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h", "-v"}, "", usage_text},
        {{"-y", "-u", "9", "-h"},
         "",
         std::string("enabling codec switching support for yaesu\n") + "unvoiced quality set to 9\n" + usage_text},
    };
    for (const auto &c : cases) {
        program_result r = run_program(silent, c.args, std::string(24, '\0'));
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
        expect_clean_exit(r);
    }
}

TEST(VoxloomProgram, FramesInFramesOutInAnyChunking) {
    std::string three_kinds = bytes({3}) + std::string(18, '\x55') + bytes({2}) + std::string(7, '\x11') + bytes({0}) +
                              std::string(12, '\xF0');
    struct {
        const char *name;
        std::vector<std::string> args;
        std::string input;
        std::string out;
        std::string err;
    } cases[] = {
        {"24 bytes", {}, std::string(24, '\x0F'), silence(2, 2), notice},
        {"24 bytes float",
         {"-f"},
         std::string(24, '\x0F'),
         silence(2, 4),
         "voxloom: switching to floating point operation\n" + notice},
        {"13 bytes", {}, std::string(13, '\x0F'), silence(2, 2), notice},
        {"36-byte DMR burst", {}, std::string(36, '\x3C'), silence(3, 2), notice},
        {"three kinds tagged",
         {"--yaesu"},
         three_kinds,
         silence(3, 2),
         "enabling codec switching support for yaesu\n" + notice},
        {"unknown mode repeats",
         {"-y", "-f"},
         bytes({2}) + std::string(7, '\0') + bytes({1}) + std::string(7, '\0'),
         silence(2, 4),
         "enabling codec switching support for yaesu\nvoxloom: switching to floating point operation\n" + notice},
        {"empty", {}, "", "", notice},
        {"empty tagged", {"-y"}, "", "", "enabling codec switching support for yaesu\n" + notice},
        {"lone mode byte", {"-y"}, bytes({3}), "", "enabling codec switching support for yaesu\n" + notice},
        {"quality",
         {"--unvoiced-quality", "5"},
         std::string(12, '\0'),
         silence(1, 2),
         "unvoiced quality set to 5\n" + notice},
        {"quality rejected",
         {"-u", "x", "-u", "70"},
         std::string(12, '\0'),
         silence(1, 2),
         "rejecting unvoiced quality \"x\" (mbelib takes 1 to 64), using 3\nunvoiced quality set to 3\n"
         "rejecting unvoiced quality \"70\" (mbelib takes 1 to 64), using 3\nunvoiced quality set to 3\n" +
             notice},
    };
    for (const auto &c : cases) {
        // Pipes may split records anywhere: feed the streams that mix sizes
        // or end mid-frame byte by byte and in odd pieces too.
        std::string name = c.name;
        bool mixed = name == "13 bytes" || name == "three kinds tagged" || name == "unknown mode repeats";
        for (size_t chunk : mixed ? std::vector<size_t>{0, 1, 5} : std::vector<size_t>{0}) {
            program_result r = run_program(silent, c.args, c.input, chunk);
            EXPECT_EQ(r.out, c.out) << c.name << ", chunk " << chunk;
            EXPECT_EQ(r.err, c.err) << c.name << ", chunk " << chunk;
            expect_clean_exit(r);
        }
    }
}

TEST(VoxloomProgram, ParserComplaintsThenNormalRun) {
    struct {
        const char *option;
        const char *complaint;
    } cases[] = {
        {"--bogus", "unrecognized option '--bogus'\n"},
        {"-q", "invalid option -- 'q'\n"},
        {"-u", "option requires an argument -- 'u'\n"},
    };
    for (const auto &c : cases) {
        program_result r = run_program(silent, {c.option}, std::string(12, '\0'));
        EXPECT_EQ(r.out, silence(1, 2)) << c.option;
        // The parser's own complaint, then the run as without the option.
        EXPECT_EQ(r.err, silent + ": " + c.complaint + notice) << c.option;
        expect_clean_exit(r);
    }
}

TEST(VoxloomProgram, EachFrameLeavesAtOnce) {
    running_program p = start_program(silent, {"-y"});
    ASSERT_TRUE(write_input(p, bytes({0}) + std::string(12, '\0')));
    EXPECT_EQ(read_output(p, 320).size(), 320u);
    ASSERT_TRUE(write_input(p, bytes({3}) + std::string(18, '\0')));
    EXPECT_EQ(read_output(p, 320).size(), 320u);
    program_result r = finish_program(p);
    expect_clean_exit(r);
}

TEST(VoxloomProgram, EndsCleanlyWhenTheReaderGoes) {
    running_program p = start_program(silent, {});
    ASSERT_TRUE(write_input(p, std::string(12, '\0')));
    EXPECT_EQ(read_output(p, 320).size(), 320u);
    close(p.out);
    p.out = -1;
    // The next frame's write finds no reader: the run ends with status 0.
    write_input(p, std::string(12 * 50, '\0'));
    program_result r = finish_program(p, 10000);
    expect_clean_exit(r);
}

TEST(VoxloomProgram, GarbageInEitherFormEndsAtEndOfInput) {
    std::mt19937 rng(5);
    std::string garbage(200000, '\0');
    for (char &c : garbage) c = static_cast<char>(rng() % 4 == 0 ? rng() % 256 : rng() % 5);
    for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"-y"}, {"-y", "-f"}}) {
        program_result r = run_program(silent, args, garbage, 4096);
        expect_clean_exit(r);
        EXPECT_GT(r.out.size(), 0u);
        EXPECT_EQ(r.out.size() % 320, 0u);
        EXPECT_EQ(r.out.find_first_not_of('\0'), std::string::npos);
    }
}

#if defined(VOXLOOM_LINKS_MBELIB)
TEST(VoxloomProgram, WithMbelibOnlySamplesReachStandardOutput) {
    // Even an unvoiced quality that mbelib would complain about on standard
    // output leaves exactly 160 samples per frame there.
    for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"-u", "0"}, {"-u", "100", "-f"}}) {
        program_result r = run_program(VOXLOOM_PATH, args, std::string(36, '\0'));
        expect_clean_exit(r);
        EXPECT_EQ(r.out.size(), 3u * 160 * (args.size() == 3 ? 4 : 2));
        EXPECT_EQ(r.err.find(notice), std::string::npos);
    }
}
#endif
