// SPDX-License-Identifier: MIT
// The decoder on hostile input: random bytes of every value, streams of only
// sync codewords or endless messages, and streams cut at every position.

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "pocsag_test_support.h"

namespace {

// After every block the ring holds fewer than 33 bits, or, right after sync
// was lost, what the search takes up with the next block; a message never
// holds more than it can store.
void expect_invariants(const pagewick_state &state) {
    int32_t fill = ring_fill(state.ring);
    ASSERT_TRUE(fill < pagewick_consume_level || (!state.synchronised && fill <= 256)) << fill;
    ASSERT_LE(state.codeword_index, 16);
    const pocsag_message &m = state.message;
    if (m.present) {
        ASSERT_LE(m.length, m.type == message_type_numeric ? 80 : 560);
    }
    ASSERT_EQ(m.text[80], 0);
}

// True if line is text followed by a decimal number (and nothing else).
bool is_numbered(const std::string &line, const std::string &text) {
    if (line.rfind(text, 0) != 0 || line.size() == text.size()) return false;
    for (std::size_t i = text.size(); i < line.size(); ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// Every diagnostic line is one of the decoder's own, and sync is found before
// it is lost.
void expect_known_diagnostics(const std::string &err) {
    std::istringstream lines(err);
    std::string line;
    bool synchronised = false;
    while (std::getline(lines, line)) {
        if (is_numbered(line, "found sync at ")) {
            ASSERT_FALSE(synchronised);
            synchronised = true;
        } else if (is_numbered(line, "lost sync at ")) {
            ASSERT_TRUE(synchronised);
            synchronised = false;
        } else {
            ASSERT_TRUE(line == "ecc failure" || line == "parity failure" ||
                        line.rfind("WARNING: message overflow (type ", 0) == 0)
                << line;
        }
    }
    if (!err.empty()) {
        ASSERT_EQ(err.back(), '\n');
    }
}

void feed_in_random_blocks(decoder_run &run, const std::vector<uint8_t> &bytes, std::mt19937 &random) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t n = std::min<std::size_t>(1 + random() % 300, bytes.size() - i);
        pagewick_process(run.state, bytes.data() + i, n, run.sink);
        expect_invariants(run.state);
        if (::testing::Test::HasFatalFailure()) return;
        i += n;
    }
}

TEST(PagewickRobustness, RandomBytesOfEveryValue) {
    std::mt19937 random(256);
    std::vector<uint8_t> bytes(1 << 20);
    for (uint8_t &b : bytes) b = static_cast<uint8_t>(random());
    auto run = std::make_unique<decoder_run>();
    feed_in_random_blocks(*run, bytes, random);
    // Bytes other than 0 and 1 are far from the sync pattern: nothing syncs.
    EXPECT_EQ(run->out.text(), "");
    EXPECT_EQ(run->err.text(), "");
}

// Sync codewords, valid and damaged codewords of every kind, random bits and
// random byte values, mixed at random.
TEST(PagewickRobustness, RandomMixOfCodewordsAndNoise) {
    std::mt19937 random(4242);
    std::vector<uint8_t> bytes;
    while (bytes.size() < 600000) {
        uint32_t word = 0;
        switch (random() % 6) {
            case 0:
                word = encode_sync_codeword;
                break;
            case 1:
                word = encode_idle_codeword;
                break;
            case 2:
                word = pocsag_address_codeword(static_cast<int32_t>(random() & 0x1FFFFF), random() % 4);
                break;
            case 3:
                word = pocsag_message_codeword(random());
                break;
            case 4:
                for (int i = random() % 64; i > 0; --i) bytes.push_back(static_cast<uint8_t>(random() & 1));
                continue;
            default:
                for (int i = random() % 8; i > 0; --i) bytes.push_back(static_cast<uint8_t>(random()));
                continue;
        }
        for (int wrong = random() % 5; wrong > 0; --wrong) word ^= 1u << (random() % 32);
        append_codeword_bits(bytes, word);
    }
    auto run = std::make_unique<decoder_run>();
    feed_in_random_blocks(*run, bytes, random);
    std::string err = run->err.text();
    expect_known_diagnostics(err);
    EXPECT_NE(err.find("found sync"), std::string::npos);
    EXPECT_NE(run->out.text().find("address:"), std::string::npos);
}

// Sync codeword after sync codeword: in every codeword slot one counts as
// an idle codeword, not as an address with function bits 2.
TEST(PagewickRobustness, OnlySyncCodewords) {
    std::vector<uint8_t> bits;
    for (int i = 0; i < 1000; ++i) append_codeword_bits(bits, encode_sync_codeword);
    decoded d = decode_to_end(bits);
    EXPECT_EQ(d.out, "");
    EXPECT_EQ(d.err, "found sync at 0\n");
}

// A message that never ends: one warning per codeword beyond 16, nothing
// printed at the end of the input, and the page printed once an idle
// codeword comes after all.
TEST(PagewickRobustness, EndlessMessageCodewords) {
    std::vector<uint32_t> codewords{pocsag_address_codeword(8, 0)};
    const int messages = 100 * 16 - 1;
    for (int i = 0; i < messages; ++i) codewords.push_back(pocsag_message_codeword(0x84C2Au));
    std::vector<uint8_t> bits = stream_of(codewords, 0);
    std::string warnings;
    for (int i = 16; i < messages; ++i) warnings += "WARNING: message overflow (type 0)\n";
    decoded endless = decode(bits);
    EXPECT_EQ(endless.out, "");
    EXPECT_EQ(endless.err, "found sync at 0\n" + warnings);

    bits.pop_back();
    append_codeword_bits(bits, encode_sync_codeword);
    append_codeword_bits(bits, encode_idle_codeword);
    bits.push_back(0);
    std::string text;
    for (int i = 0; i < 16; ++i) text += "12345";
    EXPECT_EQ(decode(bits).out, "address:8;message:" + text + "\n");
}

// Cutting the input anywhere yields a prefix of the full output: nothing is
// invented or reordered by an early end.
TEST(PagewickRobustness, StreamsCutAnywhere) {
    std::vector<uint8_t> bits = pocsag_transmission({{10, 0, pocsag_text_kind::numeric, "12345"},
                                                     {9, 3, pocsag_text_kind::alphanumeric, "Hello, world"},
                                                     {1234567, 0, pocsag_text_kind::numeric, "0123456789"}},
                                                    100);
    bits.push_back(1);
    const decoded full = decode(bits);
    ASSERT_EQ(full.out,
              "address:10;message:12345\naddress:9;message:Hello, world\naddress:1234567;message:0123456789\n");
    ASSERT_EQ(full.err, "found sync at 100\n");
    for (std::size_t cut = 0; cut <= bits.size(); ++cut) {
        decoded part = decode(std::vector<uint8_t>(bits.begin(), bits.begin() + static_cast<long>(cut)), 1 + cut % 200);
        ASSERT_EQ(full.out.compare(0, part.out.size(), part.out), 0) << cut;
        ASSERT_EQ(full.err.compare(0, part.err.size(), part.err), 0) << cut;
    }
}

}  // namespace
