// SPDX-License-Identifier: MIT
// orbavox as a real process: options, usage and version, symbols through a
// pipe, metadata on a named pipe, block sizes, garbage and a reader that
// goes away.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "orbavox.h"
#include "testing/process.h"
#include "ysf_encode.h"
#include "version.h"

namespace {

const std::string program = ORBAVOX_PATH;

const std::string usage =
    "orbavox version " ZELVANE_VERSION "\n\nUsage: orbavox [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -f, --fifo      send metadata to this file\n"
    " -v, --version   print version and exit\n";

std::string to_string(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

ysf_encode::call_signs test_calls() {
    ysf_encode::call_signs calls;
    calls.target = ysf_encode::call_sign("ALL");
    calls.source = ysf_encode::call_sign("DL1ABC");
    calls.down = ysf_encode::call_sign("DB0XYZ");
    calls.up = ysf_encode::call_sign("DM0UP");
    return calls;
}

// One transmission in each voice mode, back to back, with a trailing symbol
// so that the last frame is handled; its voice records and metadata lines.
struct three_modes {
    std::string symbols, records, lines;
};

three_modes build_three_modes() {
    three_modes t;
    for (uint8_t dt : {fich_dt_vd_mode1, fich_dt_vd_mode2, fich_dt_voice_full_rate}) {
        ysf_encode::transmission_plan plan;
        plan.data_type = dt;
        plan.calls = test_calls();
        plan.has_position = dt == fich_dt_vd_mode2;
        plan.latitude = 51.502;
        plan.longitude = -0.125;
        plan.communication_frames = dt == fich_dt_vd_mode2 ? 9 : 2;
        ysf_encode::transmission built;
        EXPECT_TRUE(ysf_encode::build_transmission(plan, built));
        t.symbols += to_string(built.symbols);
        t.records += to_string(built.voice_records);
    }
    t.symbols += std::string(1, '\0');
    const std::string calls = "source:DL1ABC    ;target:ALL       ;up:DM0UP     ;down:DB0XYZ    ;";
    const std::string header = "protocol:YSF;source:DL1ABC    ;target:ALL       ;\nprotocol:YSF;" + calls + "\n";
    const std::string end = "protocol:YSF;\n";
    auto repeat = [](const std::string &s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += s;
        return r;
    };
    const std::string dn = "protocol:YSF;mode:DN;" + calls + "\n";
    t.lines = header + repeat("protocol:YSF;mode:V1;" + calls + "\n", 2) + end;
    t.lines += header + repeat(dn, 12) + dn + "protocol:YSF;mode:DN;" + calls +
               "lat:51.501999;lon:-0.125000;radio:FT-70D;\n" + end;
    t.lines += header + repeat("protocol:YSF;mode:VW;" + calls + "\n", 2) + end;
    return t;
}

TEST(OrbavoxProgram, VersionAndUsage) {
    struct option_case {
        std::vector<std::string> args;
        std::string out, err;
    } cases[] = {
        {{"-v"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"--version"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h"}, "", usage},
        {{"--help"}, "", usage},
        {{"-v", "-h"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h", "-v"}, "", usage},
    };
    for (const option_case &c : cases) {
        program_result r = run_program(program, c.args, "");
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_EQ(r.exit_code, 0) << c.args[0];
    }

    // A -f before -h has already opened its file.
    std::string dir = make_temp_dir();
    std::string path = dir + "/meta";
    program_result r = run_program(program, {"-f", path, "-h"}, "");
    EXPECT_EQ(r.err, "meta fifo: " + path + "\n" + usage);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

// Unknown options and a missing argument get the parser's complaint, and
// the input is decoded as usual.
TEST(OrbavoxProgram, BadOptionsStillDecode) {
    three_modes t = build_three_modes();
    struct bad_case {
        const char *arg, *complaint;
    } cases[] = {{"-x", "invalid option -- 'x'\n"},
                 {"--bogus", "unrecognized option '--bogus'\n"},
                 {"-f", "option requires an argument -- 'f'\n"}};
    for (const bad_case &c : cases) {
        program_result r = run_program(program, {c.arg}, t.symbols);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, t.records) << c.arg;
        EXPECT_EQ(r.err, program + ": " + c.complaint) << c.arg;
    }
}

// The three voice modes through real pipes, the metadata on a named pipe
// read by another thread, as a display would.
TEST(OrbavoxProgram, TransmissionsWithMetadataFifo) {
    three_modes t = build_three_modes();
    std::string dir = make_temp_dir();
    std::string fifo = dir + "/meta";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string lines;
    std::thread reader([&] { lines = read_file(fifo); });
    program_result r = run_program(program, {"--fifo", fifo}, t.symbols, 128, 20000);
    reader.join();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err, "meta fifo: " + fifo + "\n");
    EXPECT_EQ(r.out, t.records);
    EXPECT_EQ(lines, t.lines);
}

TEST(OrbavoxProgram, ChunkSizesGiveTheSameBytes) {
    three_modes t = build_three_modes();
    std::mt19937 rng(3);
    std::string noisy;
    for (int i = 0; i < 3000; ++i) noisy += static_cast<char>(rng() & 3);
    noisy += t.symbols;
    for (size_t chunk : {1, 13, 128, 4096}) {
        program_result r = run_program(program, {}, noisy, chunk, 20000);
        EXPECT_EQ(r.exit_code, 0) << chunk;
        EXPECT_EQ(r.out, t.records) << chunk;
        EXPECT_EQ(r.err, "") << chunk;
    }
}

// Voice leaves as soon as a frame is complete, with the input still open.
TEST(OrbavoxProgram, WritesEachFrameAtOnce) {
    three_modes t = build_three_modes();
    running_program p = start_program(program, {});
    // Header and the first communication frame and one symbol more, in
    // whole reads of 128: eight reads.
    ASSERT_TRUE(write_input(p, t.symbols.substr(0, 8 * 128)));
    EXPECT_EQ(read_output(p, 5 * 13, 5000), t.records.substr(0, 5 * 13));
    program_result r = finish_program(p);
    EXPECT_EQ(r.exit_code, 0);
}

TEST(OrbavoxProgram, GarbageAndShortInput) {
    std::mt19937 rng(99);
    std::string garbage(300000, '\0');
    for (auto &c : garbage) c = static_cast<char>(rng());
    for (const std::string &input : {std::string(), std::string(20, '\x03'), garbage}) {
        program_result r = run_program(program, {}, input, 0, 20000);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.signal, 0);
        EXPECT_FALSE(r.timed_out);
        if (input.size() <= 20) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "");
        }
    }
}

// A reader of the voice that goes away ends the run with status 0.
TEST(OrbavoxProgram, ReaderGoneEndsCleanly) {
    three_modes t = build_three_modes();
    running_program p = start_program(program, {});
    close(p.out);
    p.out = -1;
    write_input(p, t.symbols);
    program_result r = finish_program(p, 20000);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.signal, 0);
}

}  // namespace
