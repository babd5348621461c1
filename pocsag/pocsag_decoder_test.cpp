// SPDX-License-Identifier: MIT
#include "pocsag_decoder.h"

#include <gtest/gtest.h>

#include "pocsag_test_support.h"

namespace {

using kind = pocsag_text_kind;

uint32_t address_word(int32_t address, int function = 0) { return pocsag_address_codeword(address, function); }
uint32_t numeric_word(const char *five) { return pocsag_message_codeword(pocsag_numeric_words(five).at(0)); }

std::vector<uint8_t> with_tail(std::vector<uint8_t> bits) {
    bits.push_back(0);
    return bits;
}

struct page_case {
    const char *name;
    pocsag_page page;
    std::string line;
};

TEST(PagewickDecoder, DecodesPagesOfBothTypes) {
    const std::string eighty_digits = std::string(40, '7') + std::string(40, '(');
    const page_case cases[] = {
        {"numeric", {10, 0, kind::numeric, "12345"}, "address:10;message:12345\n"},
        {"alphanumeric", {9, 3, kind::alphanumeric, "AB"}, "address:9;message:AB\n"},
        {"numeric table and trailing spaces",
         {2097151, 0, kind::numeric, "0123456789*U -)("},
         "address:2097151;message:0123456789*U -)(    \n"},
        {"alphanumeric across batches",
         {15, 3, kind::alphanumeric, "The quick brown fox jumps over the lazy dog; address:1 | 42"},
         "address:15;message:The quick brown fox jumps over the lazy dog; address:1 | 42\n"},
        {"character 0 ends the text", {0, 3, kind::alphanumeric, std::string("AB\0CD", 5)}, "address:0;message:AB\n"},
        {"control characters pass, CR is escaped",
         {3, 3, kind::alphanumeric, "a\tb\rc"},
         "address:3;message:a\tb\\x0Dc\n"},
        {"80 numeric characters", {4, 0, kind::numeric, eighty_digits}, "address:4;message:" + eighty_digits + "\n"},
        {"tone only", {5, 0, kind::numeric, ""}, "address:5;message:\n"},
    };
    for (const page_case &c : cases) {
        SCOPED_TRACE(c.name);
        // A second page ends an empty first one; the first is what is checked.
        decoded d = decode(with_tail(pocsag_transmission({c.page, {800, 0, kind::numeric, "1"}})));
        EXPECT_EQ(d.out.substr(0, c.line.size()), c.line);
        EXPECT_EQ(d.out.substr(c.line.size()), "address:800;message:1    \n");
        EXPECT_EQ(d.err, "found sync at 576\n");
    }
}

// The reported position is a ring position: after a 1100-bit preamble the
// sync codeword starts at ring entry 1100 - 1024.
TEST(PagewickDecoder, ReportsSyncAtItsRingPosition) {
    EXPECT_EQ(decode(pocsag_batch_bits({encode_idle_codeword}, 0)).err, "found sync at 0\n");
    EXPECT_EQ(decode(pocsag_batch_bits({encode_idle_codeword}, 1100)).err, "found sync at 76\n");
}

// Flips `count` bits of the 32 starting at bit `start`, spread over the word.
void flip_bits(std::vector<uint8_t> &bits, std::size_t start, int count) {
    const int positions[] = {0, 9, 17, 31, 22};
    for (int i = 0; i < count; ++i) bits.at(start + positions[i]) ^= 1;
}

// Sync codewords with up to 3 wrong bits are found, with 4 they are not:
// at the start of the stream and in the slot after 16 codewords.
TEST(PagewickDecoder, SyncToleratesThreeWrongBits) {
    // Address 15 sits in the last frame; its numeric message runs from
    // codeword 15 of the first batch into the second batch.
    const std::vector<uint32_t> codewords = pocsag_page_codewords({{15, 0, kind::numeric, "0123456789"}});
    ASSERT_EQ(codewords.size(), 32u);
    const std::size_t first_sync = 64, second_sync = 64 + 17 * 32;
    for (int wrong = 0; wrong <= 4; ++wrong) {
        SCOPED_TRACE(wrong);
        std::vector<uint8_t> start = stream_of(codewords), boundary = start;
        flip_bits(start, first_sync, wrong);
        flip_bits(boundary, second_sync, wrong);
        decoded at_start = decode(start), at_boundary = decode(boundary);
        if (wrong <= 3) {
            EXPECT_EQ(at_start.err, "found sync at 64\n");
            EXPECT_EQ(at_start.out, "address:15;message:0123456789\n");
            EXPECT_EQ(at_boundary.err, "found sync at 64\n");
            EXPECT_EQ(at_boundary.out, "address:15;message:0123456789\n");
        } else {
            // The search only finds the second batch, whose message codeword
            // has no address to join.
            EXPECT_EQ(at_start.err, "found sync at 608\n");
            EXPECT_EQ(at_start.out, "");
            // Losing sync prints the message in progress, its first half.
            EXPECT_EQ(at_boundary.err, "found sync at 64\nlost sync at 640\n");
            EXPECT_EQ(at_boundary.out, "address:15;message:01234\n");
        }
    }
}

struct codeword_case {
    const char *name;
    uint32_t mask;  // wrong bits of the received message codeword
    std::string err;
    bool kept;  // the message holds its text afterwards
};

// One message codeword, received with wrong bits, joining a current message.
TEST(PagewickDecoder, CorrectsAndChecksParityOfEachCodeword) {
    const codeword_case cases[] = {
        {"clean", 0, "", true},
        {"two wrong: flag and a check bit", 0x80000004u, "", true},
        {"two wrong: information bits", 0x00101000u, "", true},
        {"one wrong check bit", 0x00000400u, "", true},
        {"only the parity bit wrong", 0x00000001u, "parity failure\n", false},
        {"one wrong and the parity bit", 0x00010001u, "parity failure\n", false},
        {"two wrong and the parity bit", 0x40000003u, "parity failure\n", false},
    };
    for (const codeword_case &c : cases) {
        SCOPED_TRACE(c.name);
        auto run = std::make_unique<decoder_run>();
        message_start(run->state.message, 10, message_type_numeric, run->sink);
        take_codeword(run->state, pocsag_message_codeword(0x84C2Au) ^ c.mask, run->sink);
        EXPECT_EQ(run->err.text(), c.err);
        EXPECT_EQ(run->state.message.present, c.kept);
        if (c.kept) {
            EXPECT_STREQ(run->state.message.text, "12345");
        }
        EXPECT_EQ(run->out.text(), "");
    }
}

// Three wrong bits among the first 31 drop the message with one of the two
// failures, whichever the syndrome leads to, for every placement.
TEST(PagewickDecoder, ThreeWrongBitsDropTheMessage) {
    const uint32_t sent = pocsag_message_codeword(0x84C2Au);
    for (int a = 1; a < 32; ++a)
        for (int b = a + 1; b < 32; ++b)
            for (int c = b + 1; c < 32; ++c) {
                auto run = std::make_unique<decoder_run>();
                message_start(run->state.message, 10, message_type_numeric, run->sink);
                take_codeword(run->state, sent ^ (1u << a) ^ (1u << b) ^ (1u << c), run->sink);
                std::string err = run->err.text();
                ASSERT_TRUE(err == "ecc failure\n" || err == "parity failure\n") << a << b << c << err;
                ASSERT_FALSE(run->state.message.present);
            }
}

// The address is the 18 address bits times 8 plus the frame number, from the
// codeword's slot in the batch; the function bits give the message type.
TEST(PagewickDecoder, AddressTakesTheFrameNumber) {
    for (int index : {4, 5}) {
        auto run = std::make_unique<decoder_run>();
        run->state.codeword_index = index;
        take_codeword(run->state, address_word(8, 3), run->sink);
        EXPECT_TRUE(run->state.message.present);
        EXPECT_EQ(run->state.message.address, 10);
        EXPECT_EQ(run->state.message.type, message_type_alphanumeric);
    }
}

struct stream_case {
    const char *name;
    std::vector<uint32_t> codewords;  // batch contents from codeword 0 on
    std::string out, err;
};

// How each event ends the message in progress.
TEST(PagewickDecoder, MessagesEndAtTheirEvents) {
    const uint32_t idle = encode_idle_codeword;
    const uint32_t garbage = numeric_word("99999") ^ 0x00700000u;  // three wrong bits: uncorrectable
    const stream_case cases[] = {
        {"idle codewords leave an empty message, the next address prints it",
         {address_word(8), idle, idle, address_word(16), numeric_word("12345"), idle},
         "address:8;message:\naddress:17;message:12345\n",
         ""},
        {"back-to-back address codewords",
         {address_word(8), address_word(16, 3), pocsag_message_codeword(0x82840u)},
         "address:8;message:\naddress:16;message:AB\n",
         ""},
        {"idle prints a message with content at once; an empty one at the end of input is not printed",
         {address_word(8), numeric_word("12345"), idle, numeric_word("67890"), address_word(24)},
         "address:8;message:12345\n",
         ""},
        {"function bits 1: a page like any other",
         {address_word(8), numeric_word("12345"), address_word(16, 1), numeric_word("67890"), idle},
         "address:8;message:12345\naddress:17;message:67890\n",
         ""},
        {"a tone page of function bits 2 ends at the next address",
         {address_word(16, 2), address_word(24), numeric_word("67890"), idle},
         "address:16;message:\naddress:24;message:67890\n",
         ""},
        {"a sync codeword in a codeword slot ends a page like an idle codeword",
         {address_word(8), numeric_word("12345"), encode_sync_codeword, numeric_word("67890"), idle},
         "address:8;message:12345\n",
         ""},
        {"an uncorrectable codeword drops the message; frames stay aligned",
         {address_word(8), numeric_word("12345"), garbage, numeric_word("67890"), idle, address_word(16),
          numeric_word("11111"), idle},
         "address:18;message:11111\n",
         "ecc failure\n"},
        {"a parity failure drops the message",
         {address_word(8), numeric_word("12345"), numeric_word("67890") ^ 1u, idle, address_word(16),
          numeric_word("22222"), idle},
         "address:18;message:22222\n",
         "parity failure\n"},
    };
    for (const stream_case &c : cases) {
        SCOPED_TRACE(c.name);
        decoded d = decode(stream_of(c.codewords));
        EXPECT_EQ(d.out, c.out);
        EXPECT_EQ(d.err, "found sync at 64\n" + c.err);
    }
}

// While input keeps coming, the last codeword waits for one more bit and a
// page in progress stays open; the end of input decodes that codeword and
// prints the page, tone pages too, once.
TEST(PagewickDecoder, EndOfInputPrintsTheLastPage) {
    std::vector<uint8_t> tone, text;
    append_codeword_bits(tone, encode_sync_codeword);
    append_codeword_bits(tone, address_word(8, 1));
    text = tone;
    append_codeword_bits(text, numeric_word("12345"));
    EXPECT_EQ(decode(with_tail(text)).out, "");
    EXPECT_EQ(decode(text).out, "");
    for (const std::vector<uint8_t> &bits : {text, with_tail(text)}) {
        decoded d = decode_to_end(bits);
        EXPECT_EQ(d.out, "address:8;message:12345\n");
        EXPECT_EQ(d.err, "found sync at 0\n");
    }
    EXPECT_EQ(decode_to_end(tone).out, "address:8;message:\n");
    // A page already printed by its idle codeword is not printed again.
    append_codeword_bits(text, encode_idle_codeword);
    EXPECT_EQ(decode_to_end(text).out, "address:8;message:12345\n");
    // Searching, nothing is pending.
    EXPECT_EQ(decode_to_end(std::vector<uint8_t>(100, 1)).out, "");
}

// The end of input after a whole batch decodes the sync slot too: without a
// sync codeword there, the page is printed as at any loss of sync.
TEST(PagewickDecoder, EndOfInputInTheSyncSlot) {
    std::vector<uint8_t> bits = pocsag_batch_bits({address_word(8)}, 0);
    for (int i = 0; i < 32; ++i) bits.push_back(static_cast<uint8_t>(i & 1));
    decoded d = decode_to_end(bits);
    EXPECT_EQ(d.out, "address:8;message:\n");
    EXPECT_EQ(d.err, "found sync at 0\nlost sync at 576\n");
}

// An empty message that never meets an address codeword is printed when sync
// is lost.
TEST(PagewickDecoder, LostSyncPrintsEvenAnEmptyMessage) {
    std::vector<uint8_t> bits = stream_of({address_word(8), encode_idle_codeword}, 0);
    for (int i = 0; i < 32; ++i) bits.push_back(static_cast<uint8_t>(i & 1));
    decoded d = decode(bits);
    EXPECT_EQ(d.out, "address:8;message:\n");
    EXPECT_EQ(d.err, "found sync at 0\nlost sync at 576\n");
}

// A carrier held at the level of bit 0 after a page gives all-zero
// codewords: the page ends there, and they make no tone page to an address
// of 0 to 7.
TEST(PagewickDecoder, HeldCarrierMakesNoPage) {
    std::vector<uint8_t> bits = pocsag_batch_bits({address_word(8), numeric_word("12345"), 0u, 0u, 0u}, 0);
    bits.insert(bits.end(), 600, 0);
    EXPECT_EQ(decode_to_end(bits).out, "address:8;message:12345\n");
}

// 17 numeric or 29 alphanumeric codewords: one warning, 80 characters kept.
TEST(PagewickDecoder, OverflowWarnsAndKeepsEightyCharacters) {
    std::string digits;
    for (int i = 0; i < 85; ++i) digits += static_cast<char>('0' + i % 10);
    std::string letters;
    for (int i = 0; i < 82; ++i) letters += static_cast<char>('A' + i % 26);
    ASSERT_EQ(pocsag_alphanumeric_words(letters).size(), 29u);
    decoded numeric = decode(with_tail(pocsag_transmission({{8, 0, kind::numeric, digits}})));
    EXPECT_EQ(numeric.out, "address:8;message:" + digits.substr(0, 80) + "\n");
    EXPECT_EQ(numeric.err, "found sync at 576\nWARNING: message overflow (type 0)\n");
    decoded text = decode(with_tail(pocsag_transmission({{8, 3, kind::alphanumeric, letters}})));
    EXPECT_EQ(text.out, "address:8;message:" + letters.substr(0, 80) + "\n");
    EXPECT_EQ(text.err, "found sync at 576\nWARNING: message overflow (type 3)\n");
}

}  // namespace
