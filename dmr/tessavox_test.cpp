// SPDX-License-Identifier: MIT
// tessavox as a real process: options, voice calls through pipes, metadata on
// a named pipe, control messages on a named pipe while symbols stream in,
// chunk sizes, cut and garbage input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "control_fifo.h"
#include "decoder_fixture.h"
#include "testing/process.h"
#include "version.h"

namespace {

using namespace dmr_encode;

const std::string program = TESSAVOX_PATH;

const std::string usage =
    "tessavox version " ZELVANE_VERSION "\n\nUsage: tessavox [options]\n\nAvailable options:\n"
    " -h, --help          show this message\n"
    " -f, --fifo          send metadata to this file\n"
    " -c, --control-fifo  read control messages from this file\n"
    " -v, --version       print version and exit\n"
    "     --presence      also report each slot's station, colour code and traffic\n";

std::string to_string(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

// A call in its slot with the other slot idle, every burst processed.
std::vector<uint8_t> call_stream(const call &c, const std::vector<codec_frame> &frames) {
    std::vector<burst> bursts = call_bursts(c, frames);
    return c.slot ? complete_channel({}, bursts) : complete_channel(bursts, {});
}

// What the decoder library makes of the same symbols in-process.
struct in_process {
    std::string voice, diagnostics, metadata;
};
in_process decode_in_process(const std::vector<uint8_t> &symbols) {
    decoder_fixture f;
    f.feed(symbols);
    return {f.voice(), f.diagnostics(), f.metadata()};
}

// Reads a named pipe to its end in a thread of its own, optionally slowly.
struct fifo_reader {
    std::string path, text;
    std::thread thread;
    fifo_reader(const std::string &p, bool slow = false) : path(p) {
        thread = std::thread([this, slow] {
            int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0) return;
            if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(200));
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, slow ? 7 : sizeof buffer)) > 0) {
                text.append(buffer, static_cast<size_t>(n));
                if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            close(fd);
        });
    }
    std::string finish() {
        thread.join();
        return text;
    }
};

TEST(tessavox_options, version_and_help) {
    for (const char *v : {"-v", "--version"}) {
        program_result r = run_program(program, {v}, "");
        EXPECT_EQ(r.out, "zelvane version " ZELVANE_VERSION "\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exit_code, 0);
    }
    program_result h = run_program(program, {"--help", "-v"}, "");
    EXPECT_EQ(h.out, "");
    EXPECT_EQ(h.err, usage);
    EXPECT_EQ(h.exit_code, 0);
    EXPECT_EQ(run_program(program, {"-v", "-h"}, "").err, "");
}

TEST(tessavox_options, fifo_before_help_is_opened_first) {
    std::string file = make_temp_dir() + "/meta";
    program_result r = run_program(program, {"-f", file, "-h"}, "");
    EXPECT_EQ(r.err, "meta fifo: " + file + "\n" + usage);
    EXPECT_EQ(r.exit_code, 0);
    struct stat st;
    EXPECT_EQ(stat(file.c_str(), &st), 0);
}

TEST(tessavox_options, bad_options_are_complained_about_and_the_run_goes_on) {
    std::vector<codec_frame> frames = test_pattern_frames(18);
    std::string input = to_string(call_stream(call{}, frames));
    std::string voice = frame_bytes(frames);
    for (std::vector<std::string> args : {std::vector<std::string>{"--bogus"}, {"-x"}, {"-f"}}) {
        program_result r = run_program(program, args, input);
        EXPECT_EQ(r.out, voice) << args[0];
        EXPECT_NE(r.err.find("tessavox"), std::string::npos) << "the parser names the program: " << r.err.substr(0, 80);
        EXPECT_EQ(r.exit_code, 0);
    }
    // A control file that cannot be opened: one message, then no control input.
    std::string missing = make_temp_dir() + "/no/such/control";
    program_result r = run_program(program, {"-c", missing}, input);
    EXPECT_EQ(r.out, voice);
    EXPECT_EQ(
        r.err.substr(0, r.err.find('\n', r.err.find('\n') + 1) + 1),
        "control fifo: " + missing + "\ncannot open control fifo " + missing + "; going on without control input\n");
    EXPECT_EQ(r.exit_code, 0);
}

TEST(tessavox_pipes, voice_call_in_either_slot_in_any_chunk_size) {
    for (int slot : {0, 1}) {
        call c;
        c.slot = slot;
        std::vector<codec_frame> frames = test_pattern_frames(54);
        std::vector<uint8_t> symbols = call_stream(c, frames);
        in_process expected = decode_in_process(symbols);
        ASSERT_EQ(expected.voice, frame_bytes(frames));
        std::string dir = make_temp_dir();
        for (std::size_t chunk : {1, 37, 128, 1000, 100000}) {
            std::string meta = dir + "/meta" + std::to_string(chunk);
            program_result r = run_program(program, {"-f", meta}, to_string(symbols), chunk);
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_EQ(r.out, expected.voice) << "slot " << slot << " chunk " << chunk;
            EXPECT_EQ(r.err, "meta fifo: " + meta + "\n" + expected.diagnostics) << "chunk " << chunk;
            EXPECT_EQ(read_file(meta), expected.metadata) << "chunk " << chunk;
        }
    }
}

TEST(tessavox_pipes, metadata_on_a_named_pipe_read_slowly) {
    std::string path = make_temp_dir() + "/meta";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    call c;
    c.slot = 1;
    std::vector<codec_frame> frames = test_pattern_frames(18);
    fifo_reader reader(path, true);
    program_result r = run_program(program, {"--fifo", path}, to_string(call_stream(c, frames)), 128);
    std::string call_fields = "type:group;source:2001;target:9;\n";
    std::string expected = "protocol:DMR;slot:0;sync:data;\n";
    expected += "protocol:DMR;slot:1;sync:data;\n";
    expected += "protocol:DMR;slot:1;sync:data;" + call_fields;
    expected += "protocol:DMR;slot:1;sync:voice;" + call_fields;
    expected += "protocol:DMR;slot:1;sync:voice;" + call_fields;
    expected += "protocol:DMR;slot:1;sync:data;\n";
    EXPECT_EQ(reader.finish(), expected);
    EXPECT_EQ(r.out, frame_bytes(frames));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_FALSE(r.timed_out);
}

// The block (0-based, of 128 symbols) whose end completes burst t of a
// channel whose first centre field is at symbol 66: the burst needs 145
// symbols from its centre field on.
std::size_t block_of_burst(int t) { return static_cast<std::size_t>((144 * t + 66 + 145 + 127) / 128 - 1); }

TEST(tessavox_pipes, control_messages_while_symbols_stream_in) {
    // Slot 0 calls for two superframes, slot 1 for three. Slot 0 takes the
    // voice lock; "2\n" then mutes it and it gives up the lock, so slot 1 is
    // written from its next voice burst on.
    std::vector<codec_frame> frames0 = test_pattern_frames(36);
    std::vector<codec_frame> frames1;
    for (int i = 0; i < 54; ++i) frames1.push_back(test_pattern_frame(static_cast<uint32_t>(500 + i)));
    call c0, c1;
    c1.slot = 1;
    c1.target = 77;
    std::vector<uint8_t> symbols = complete_channel(call_bursts(c0, frames0), call_bursts(c1, frames1));

    // Block 13 completes no burst; blocks 0..12 complete bursts 0..10, the
    // fifth voice burst of slot 0 (timeslot 10) last. So whether the message
    // is read after block 12 or 13, timeslot 11 is the first to see it.
    ASSERT_EQ(block_of_burst(10), 12u);
    ASSERT_EQ(block_of_burst(11), 14u);
    const std::size_t first_part = 13 * 128;

    std::string dir = make_temp_dir();
    std::string meta = dir + "/meta", control = dir + "/control";
    ASSERT_EQ(mkfifo(meta.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(control.c_str(), 0600), 0);
    fifo_reader reader(meta);
    running_program p = start_program(program, {"-f", meta, "-c", control});
    int control_fd = open(control.c_str(), O_WRONLY);  // meets the program's open for reading
    ASSERT_GE(control_fd, 0);

    ASSERT_TRUE(write_input(p, to_string(std::vector<uint8_t>(symbols.begin(), symbols.begin() + first_part))));
    std::string before = read_output(p, 5 * 36);
    EXPECT_EQ(before, frame_bytes(frames0, 0, 15));
    ASSERT_EQ(write(control_fd, "2\n", 2), 2);
    ASSERT_TRUE(write_input(p, to_string(std::vector<uint8_t>(symbols.begin() + first_part, symbols.end()))));
    program_result r = finish_program(p);
    close(control_fd);

    // Slot 1's burst in timeslot 11 is its voice burst E, frames 12 onwards.
    EXPECT_EQ(before + r.out, frame_bytes(frames0, 0, 15) + frame_bytes(frames1, 12));
    EXPECT_EQ(r.exit_code, 0);
    in_process expected = decode_in_process(symbols);
    EXPECT_EQ(reader.finish(), expected.metadata);
    EXPECT_EQ(r.err, "meta fifo: " + meta + "\ncontrol fifo: " + control + "\n" + expected.diagnostics);
}

TEST(tessavox_pipes, control_fifo_without_a_writer_does_not_hold_up_the_voice) {
    // Nobody opens the control fifo for writing: the decoder still starts,
    // decodes and ends with its input; a writer that comes later is heard.
    std::string control = make_temp_dir() + "/control";
    ASSERT_EQ(mkfifo(control.c_str(), 0600), 0);
    std::vector<codec_frame> frames = test_pattern_frames(36);
    std::string input = to_string(call_stream(call{}, frames));
    program_result r = run_program(program, {"-c", control}, input, 0, 10000);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, frame_bytes(frames));

    running_program p = start_program(program, {"-c", control});
    ASSERT_TRUE(write_input(p, input.substr(0, 1000)));
    EXPECT_EQ(read_output(p, 72), frame_bytes(frames, 0, 6));    // bursts 0..5 processed
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the decoder waits for input
    int fd = open(control.c_str(), O_WRONLY);                    // the decoder's open did not wait for it
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "0\n", 2), 2);
    ASSERT_EQ(write(fd, "3\n", 2), 2);  // in quick succession: both lines are taken, 3 last
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(write_input(p, input.substr(1000)));
    r = finish_program(p, 10000);
    EXPECT_EQ(r.out, frame_bytes(frames, 6));
}

TEST(tessavox_options, a_directory_is_no_control_fifo) {
    // Opening a directory for reading succeeds, but it can never be read.
    std::vector<codec_frame> frames = test_pattern_frames(18);
    std::string dir = make_temp_dir();
    program_result r = run_program(program, {"-c", dir}, to_string(call_stream(call{}, frames)));
    EXPECT_EQ(r.out, frame_bytes(frames));
    EXPECT_EQ(r.err.substr(0, r.err.find('\n', r.err.find('\n') + 1) + 1),
              "control fifo: " + dir + "\ncannot open control fifo " + dir + "; going on without control input\n");
}

TEST(control_fifo, a_partial_line_ends_with_its_writer) {
    // "1" from one writer and "\n" from the next are not the line "1"; the
    // next writer's own line is read as usual.
    std::string path = make_temp_dir() + "/control";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    decoder_fixture f;
    int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    f.state.control = fdopen(reader, "r");
    for (const char *message : {"1", "\n", "2\n"}) {
        int writer = open(path.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, message, std::strlen(message)), static_cast<ssize_t>(std::strlen(message)));
        close(writer);
        poll_control(f.state);
        if (message[0] == '\n') {
            EXPECT_EQ(f.state.slot_filter, 3);
        }
    }
    EXPECT_EQ(f.state.slot_filter, 2);
    std::fclose(f.state.control);
}

TEST(tessavox_pipes, garbage_and_cut_streams_end_cleanly) {
    std::mt19937 random(5);
    std::string garbage(200000, 0);
    for (auto &b : garbage) b = static_cast<char>(random());
    for (std::size_t chunk : {0, 1000}) {
        program_result r = run_program(program, {}, garbage, chunk, 20000);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out.size() % 36, 0u);
    }

    std::vector<codec_frame> frames = test_pattern_frames(36);
    std::string full = to_string(call_stream(call{}, frames));
    std::string voice = frame_bytes(frames);
    for (std::size_t cut : {0, 1, 24, 91, 300, 1000, 2345, 5000}) {
        program_result r = run_program(program, {}, full.substr(0, cut));
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, voice.substr(0, r.out.size())) << "cut at " << cut;
        EXPECT_EQ(r.out.size() % 36, 0u);
    }
    // Control garbage: partial and odd messages are ignored or taken by
    // their first two bytes, never waited on.
    std::string control = make_temp_dir() + "/control";
    ASSERT_EQ(mkfifo(control.c_str(), 0600), 0);
    std::thread writer([&] {
        int fd = open(control.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "\xff\x00z", 3), 3);
        close(fd);
    });
    program_result r = run_program(program, {"-c", control}, garbage, 4096, 20000);
    writer.join();
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
}

TEST(tessavox_pipes, a_reader_that_goes_away_ends_the_run) {
    std::vector<codec_frame> frames = test_pattern_frames(90);
    std::string input = to_string(call_stream(call{}, frames));
    running_program p = start_program(program, {});
    close(p.out);
    p.out = -1;
    write_input(p, input);
    program_result r = finish_program(p, 10000);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_FALSE(r.timed_out);
}

}  // namespace
