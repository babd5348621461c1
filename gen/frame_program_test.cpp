// SPDX-License-Identifier: MIT
// The common frame of every program, as real processes: write errors on
// standard output, a reader that went away, closed standard descriptors, and
// a metadata reader that stalls.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "testing/process.h"

namespace {

std::string airmint(const std::vector<std::string> &args) {
    program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

const std::string &dmr_symbols() {
    static const std::string s = airmint({"-o", "symbols", "--superframes", "2"});
    return s;
}
const std::string &ysf_symbols() {
    static const std::string s = airmint({"-p", "ysf", "-o", "symbols", "--source", "DL1ABC", "--frames", "8"});
    return s;
}

struct program_case {
    const char *name;  // as the program reports itself
    std::string path;
    std::vector<std::string> args;
    std::string input;
};

// Every program with an input that makes it write to standard output.
std::vector<program_case> every_program() {
    const std::string dmr_baseband = airmint({});
    const std::string pocsag_baseband = airmint({"-p", "pocsag"});
    std::string frames;
    for (int k = 0; k < 20 * 12; ++k) frames.push_back(static_cast<char>(k * 37));
    std::string records;
    for (int k = 0; k < 20; ++k) records += std::string(1, '\0') + frames.substr(0, 12);
    return {
        {"quadslice", QUADSLICE_PATH, {}, dmr_baseband},
        {"duoslice", DUOSLICE_PATH, {"-i"}, pocsag_baseband},
        {"tessavox", TESSAVOX_PATH, {}, dmr_symbols()},
        {"orbavox", ORBAVOX_PATH, {}, ysf_symbols()},
        {"pagewick", PAGEWICK_PATH, {}, airmint({"-p", "pocsag", "-o", "bits"})},
        {"voxloom", VOXLOOM_PATH, {}, frames},
        {"voxloom", VOXLOOM_PATH, {"-y", "-f"}, records},
        {"speechsieve", SPEECHSIEVE_PATH, {}, dmr_baseband.substr(0, 4096)},
        {"speechsieve", SPEECHSIEVE_PATH, {"-f"}, dmr_baseband.substr(0, 4096)},
        {"pulsesieve", PULSESIEVE_PATH, {}, dmr_baseband.substr(0, 4096)},
        {"zeroglide", ZEROGLIDE_PATH, {}, dmr_baseband.substr(0, 4096)},
        {"airmint", AIRMINT_PATH, {"-o", "symbols"}, ""},
    };
}

std::string shown(const program_case &c) {
    std::string text = c.name;
    for (const std::string &a : c.args) text += " " + a;
    return text;
}

TEST(WriteErrors, FullDiskIsReportedAndEndsWithAFailure) {
    program_setup full;
    full.stdout_path = "/dev/full";
    for (const program_case &c : every_program()) {
        SCOPED_TRACE(shown(c));
        const program_result r = run_program(c.path, c.args, c.input, 0, 20000, full);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 1);
        const std::string reason = std::string(c.name) == "airmint" ? "airmint: cannot write the output: "
                                                                     : std::string(c.name) + ": write error: ";
        const std::string line = reason + "No space left on device\n";
        ASSERT_GE(r.err.size(), line.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - line.size()), line) << r.err;
    }
    // The version line is output too.
    const program_result version = run_program(ZEROGLIDE_PATH, {"-v"}, "", 0, 20000, full);
    EXPECT_EQ(version.exit_code, 1);
    EXPECT_EQ(version.err, "zeroglide: write error: No space left on device\n");
}

TEST(WriteErrors, ReaderThatWentAwayEndsTheRunWithZero) {
    for (const program_case &c : every_program()) {
        SCOPED_TRACE(shown(c));
        running_program p = start_program(c.path, c.args);
        close(p.out);
        p.out = -1;
        write_input(p, c.input);
        const program_result r = finish_program(p, 20000);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err.find("write error"), std::string::npos) << r.err;
    }
}

// With standard output or standard error closed, the metadata file would
// take its descriptor, and voice frames or status text would land in it.
TEST(StandardDescriptors, ClosedOutputsNeverLandInTheMetadataFile) {
    const std::string dir = make_temp_dir();
    const struct {
        std::string path;
        const std::string &input;
    } decoders[] = {{TESSAVOX_PATH, dmr_symbols()}, {ORBAVOX_PATH, ysf_symbols()}};
    for (const auto &d : decoders) {
        const std::string reference_path = dir + "/reference";
        const program_result reference = run_program(d.path, {"-f", reference_path}, d.input);
        const std::string expected = read_file(reference_path);
        ASSERT_NE(expected.find("protocol:"), std::string::npos);
        for (int closed : {1, 2}) {
            SCOPED_TRACE(d.path + " with descriptor " + std::to_string(closed) + " closed");
            const std::string meta = dir + "/meta" + std::to_string(closed);
            program_setup setup;
            setup.closed_fd = closed;
            const program_result r = run_program(d.path, {"-f", meta}, d.input, 0, 20000, setup);
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_EQ(read_file(meta), expected);
            if (closed == 2) {
                EXPECT_EQ(r.out, reference.out);
            }
            unlink(meta.c_str());
        }
        unlink(reference_path.c_str());
    }
    rmdir(dir.c_str());
}

// What the reader of fd has now, waiting up to timeout_ms for more while
// something keeps arriving.
std::string drain(int fd, int timeout_ms) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeout_ms) > 0) {
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

// orbavox -f FIFO whose reader stops reading: the voice still flows, the
// reader gets whole lines only, and once it reads again the next blocks
// bring it the newest line.
TEST(MetadataFifo, StalledReaderNeverStopsTheVoice) {
    const std::string dir = make_temp_dir();
    const std::string fifo = dir + "/meta", reference_path = dir + "/reference";
    std::string input;
    for (int k = 0; k < 24; ++k) input += ysf_symbols();
    const std::string tail(1024, '\0');
    const program_result reference = run_program(ORBAVOX_PATH, {"-f", reference_path}, input + tail);
    const std::string expected_meta = read_file(reference_path);
    std::set<std::string> expected_lines;
    for (size_t at = 0, end; (end = expected_meta.find('\n', at)) != std::string::npos; at = end + 1)
        expected_lines.insert(expected_meta.substr(at, end + 1 - at));
    ASSERT_GT(expected_meta.size(), 8192u);

    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);  // a few lines fill it
    running_program p = start_program(ORBAVOX_PATH, {"-f", fifo});
    ASSERT_TRUE(write_input(p, input));
    const std::string voice = read_output(p, reference.out.size() - 64, 20000);
    EXPECT_EQ(voice, reference.out.substr(0, voice.size()));
    ASSERT_EQ(voice.size(), reference.out.size() - 64) << "the voice stopped behind the stalled reader";

    // The reader reads again; the decoder, still running, refills the fifo
    // with the newest lines as they fit.
    std::string received = drain(reader, 100);
    ASSERT_TRUE(write_input(p, tail));
    const program_result r = finish_program(p, 20000);
    received += drain(reader, 100);  // what the last blocks wrote, up to the end of the fifo
    close(reader);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(reference.out.substr(voice.size()), r.out);

    ASSERT_FALSE(received.empty());
    ASSERT_EQ(received.back(), '\n');
    std::string last;
    for (size_t at = 0, end; (end = received.find('\n', at)) != std::string::npos; at = end + 1) {
        last = received.substr(at, end + 1 - at);
        EXPECT_TRUE(expected_lines.count(last)) << last;
    }
    EXPECT_EQ(last, expected_meta.substr(expected_meta.rfind('\n', expected_meta.size() - 2) + 1));
    unlink(fifo.c_str());
    unlink(reference_path.c_str());
    rmdir(dir.c_str());
}

}  // namespace
