// SPDX-License-Identifier: MIT
// pagewick as a real process behind real pipes.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <random>

#include "pocsag_encode.h"
#include "testing/process.h"
#include "version.h"

namespace {

const std::string usage =
    "pagewick version " ZELVANE_VERSION "\n\nUsage: pagewick [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -F, --function  add the function bits to each page line (function:N;)\n";

std::string bytes_of(const std::vector<uint8_t> &bits) { return std::string(bits.begin(), bits.end()); }

TEST(Pagewick, VersionAndUsage) {
    struct option_case {
        std::vector<std::string> args;
        std::string out, err;
    };
    const option_case cases[] = {
        {{"-v"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"--version"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h"}, "", usage},
        {{"--help"}, "", usage},
        {{"-v", "-h"}, "zelvane version " ZELVANE_VERSION "\n", ""},
        {{"-h", "-v"}, "", usage},
    };
    for (const option_case &c : cases) {
        program_result r = run_program(PAGEWICK_PATH, c.args, "");
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST(Pagewick, UnknownOptionIsIgnoredAndEmptyInputEndsCleanly) {
    program_result empty = run_program(PAGEWICK_PATH, {}, "");
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "");
    EXPECT_EQ(empty.exit_code, 0);

    std::vector<uint8_t> bits = pocsag_transmission({{10, 0, pocsag_text_kind::numeric, "12345"}});
    bits.push_back(0);
    program_result r = run_program(PAGEWICK_PATH, {"--bogus", "word"}, bytes_of(bits));
    EXPECT_EQ(r.out, "address:10;message:12345\n");
    EXPECT_NE(r.err.find("bogus"), std::string::npos);
    EXPECT_EQ(r.err.substr(r.err.size() - 18), "found sync at 576\n");
    EXPECT_EQ(r.exit_code, 0);
}

// Several transmissions in a row, with a break in between that loses sync;
// the same bytes in any chunking give the same output.
TEST(Pagewick, PagesThroughAPipeInAnyChunking) {
    std::vector<uint8_t> bits = pocsag_transmission({{10, 0, pocsag_text_kind::numeric, "12345"},
                                                     {1000001, 3, pocsag_text_kind::alphanumeric, "Meet at 7;ok"},
                                                     {77, 1, pocsag_text_kind::numeric, "555"}});
    std::vector<uint8_t> second = pocsag_transmission({{2097151, 0, pocsag_text_kind::numeric, "0 1 2"}}, 300);
    bits.insert(bits.end(), second.begin(), second.end());
    bits.push_back(0);
    const std::string out =
        "address:10;message:12345\naddress:1000001;message:Meet at 7;ok\naddress:77;message:555  \n"
        "address:2097151;message:0 1 2\n";
    // 576 + 2 * 544 bits, then the preamble where the third sync should be.
    const std::string err = "found sync at 576\nlost sync at 672\nfound sync at 940\n";
    for (std::size_t chunk : {0, 1, 7, 128, 129, 4096}) {
        program_result r = run_program(PAGEWICK_PATH, {}, bytes_of(bits), chunk);
        EXPECT_EQ(r.out, out) << chunk;
        EXPECT_EQ(r.err, err) << chunk;
        EXPECT_EQ(r.exit_code, 0);
    }
}

// A page line leaves as soon as the block that ends its message has been
// read, while the input is still open.
TEST(Pagewick, PageLineLeavesAtOnce) {
    std::vector<uint8_t> bits = pocsag_transmission({{10, 0, pocsag_text_kind::numeric, "12345"}});
    // Seven whole blocks: past the idle codeword after the message (which
    // ends at bit 576 + 32 * 8), short of the end of the batch.
    bits.resize(7 * 128);
    running_program p = start_program(PAGEWICK_PATH, {});
    ASSERT_TRUE(write_input(p, bytes_of(bits)));
    const std::string line = "address:10;message:12345\n";
    EXPECT_EQ(read_output(p, line.size(), 5000), line);
    program_result r = finish_program(p);
    EXPECT_EQ(r.exit_code, 0);
}

// -F adds the function bits; a transmission cut off after its last
// codeword still gives its last page.
TEST(Pagewick, FunctionFieldAndTheLastPage) {
    const std::vector<uint8_t> bits =
        pocsag_transmission({{1234, 3, pocsag_text_kind::alphanumeric, "Hello"},
                             {671968, 1, pocsag_text_kind::numeric, ""},
                             {273040, 1, pocsag_text_kind::alphanumeric, "Line 1\nLine 2"}});
    const std::string plain =
        "address:1234;message:Hello\naddress:671968;message:\naddress:273040;message:Line 1\\x0ALine 2\n";
    const std::string with_function =
        "address:1234;function:3;message:Hello\naddress:671968;function:1;message:\n"
        "address:273040;function:1;message:Line 1\\x0ALine 2\n";
    struct run_case {
        std::vector<std::string> args;
        std::string out;
    };
    for (const run_case &c :
         {run_case{{}, plain}, run_case{{"-F"}, with_function}, run_case{{"--function"}, with_function}}) {
        program_result r = run_program(PAGEWICK_PATH, c.args, bytes_of(bits), 100);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "found sync at 576\n");
        EXPECT_EQ(r.exit_code, 0);
    }
}

// Read from a named pipe: the page leaves once the writer closes it.
TEST(Pagewick, PageAtTheEndOfAFifo) {
    const std::string fifo = make_temp_dir() + "/bits";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> bits = pocsag_transmission({{8, 2, pocsag_text_kind::alphanumeric, "last"}});
    // The transmission stops right after the page's last codeword.
    bits.resize(576 + 32 * 4);
    const std::string input = bytes_of(bits);
    // The writer, in the background, gets the test's input as descriptor 3.
    const std::string script = "exec 3<&0; cat <&3 > \"$1\" & exec \"$0\" -F < \"$1\"";
    program_result r = run_program("/bin/sh", {"-c", script, PAGEWICK_PATH, fifo}, input);
    EXPECT_EQ(r.out, "address:8;function:2;message:last\n");
    EXPECT_EQ(r.exit_code, 0);
    std::remove(fifo.c_str());
}

TEST(Pagewick, RandomBytesEndCleanly) {
    std::mt19937 random(7);
    std::string bytes(1 << 18, '\0');
    for (char &c : bytes) c = static_cast<char>(random());
    // Random bits too, where sync is found now and then.
    std::string bits(1 << 18, '\0');
    for (char &c : bits) c = static_cast<char>(random() & 1);
    for (const std::string &input : {bytes, bits}) {
        program_result r = run_program(PAGEWICK_PATH, {}, input, 1000, 20000);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 0);
    }
}

// A reader that goes away downstream ends the run with status 0.
TEST(Pagewick, ClosedDownstreamEndsCleanly) {
    std::vector<pocsag_page> pages;
    for (int i = 0; i < 400; ++i) pages.push_back({8 * i, 0, pocsag_text_kind::numeric, "12345"});
    std::vector<uint8_t> bits = pocsag_transmission(pages);
    program_result r = run_program(
        "/bin/bash", {"-c", std::string("\"$0\" | head -c 10 >/dev/null; echo ${PIPESTATUS[0]}"), PAGEWICK_PATH},
        bytes_of(bits));
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.exit_code, 0);
}

}  // namespace
