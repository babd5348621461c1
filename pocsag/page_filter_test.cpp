// SPDX-License-Identifier: MIT
// Pages from noise: a page is printed when its batch belongs to a
// transmission under way, or when it needed few corrections.

#include "page_filter.h"

#include <gtest/gtest.h>

#include <random>

#include "pocsag_test_support.h"

namespace {

// Flips `count` bits of a codeword, spread over it (parity bit untouched).
uint32_t damaged(uint32_t codeword, int count) {
    const int positions[] = {30, 21, 12, 5, 17};
    for (int i = 0; i < count; ++i) codeword ^= 1u << positions[i];
    return codeword;
}

void append_preamble(std::vector<uint8_t> &bits, int count) {
    for (int i = 0; i < count; ++i) bits.push_back(static_cast<uint8_t>((i & 1) == 0));
}

// A batch: its sync codeword with sync_wrong bits, then the codewords and
// idle fill to 16.
void append_batch(std::vector<uint8_t> &bits, int sync_wrong, std::vector<uint32_t> codewords) {
    codewords.resize(16, encode_idle_codeword);
    append_codeword_bits(bits, damaged(encode_sync_codeword, sync_wrong));
    for (uint32_t c : codewords) append_codeword_bits(bits, c);
}

// A tone page to address 8 whose address codeword needed two corrected bits,
// ended by a clean page to address 16.
const std::vector<uint32_t> costly_tone_page = {damaged(pocsag_address_codeword(8, 1), 2),
                                                pocsag_address_codeword(16, 0)};

struct filter_case {
    const char *name;
    std::vector<uint8_t> bits;
    std::string out;
};

std::vector<uint8_t> stream(int preamble, const std::vector<std::pair<int, std::vector<uint32_t>>> &batches) {
    std::vector<uint8_t> bits;
    append_preamble(bits, preamble);
    for (const auto &[sync_wrong, codewords] : batches) append_batch(bits, sync_wrong, codewords);
    return bits;
}

TEST(PageFilter, PagesOfATransmissionOrOfFewCorrections) {
    const std::vector<uint32_t> idle_batch;
    const std::string both = "address:8;message:\naddress:16;message:\n";
    const std::string clean_only = "address:16;message:\n";
    const filter_case cases[] = {
        // Found alone: 2 corrected + sync wrong bits against one codeword + 2.
        {"alone, sync 1 wrong: 3 of 3", stream(0, {{1, costly_tone_page}}), both},
        {"alone, sync 2 wrong: 4 of 3", stream(0, {{2, costly_tone_page}}), clean_only},
        {"alone, sync 3 wrong", stream(0, {{3, costly_tone_page}}), clean_only},
        {"after a preamble", stream(64, {{3, costly_tone_page}}), both},
        {"after a preamble with 16 wrong bits",
         [] {
             std::vector<uint8_t> bits = stream(64, {{3, costly_tone_page}});
             for (int i = 0; i < 64; i += 4) bits[i] ^= 1;
             return bits;
         }(),
         both},
        {"in the sync slot after a batch", stream(0, {{0, idle_batch}, {3, costly_tone_page}}), both},
        // The second batch's sync is lost; the search finds the third one on
        // the grid of the first.
        {"on the grid of an earlier batch", stream(0, {{0, idle_batch}, {5, idle_batch}, {3, costly_tone_page}}), both},
        // The first sync codeword is missed; the second lies one batch after
        // the preamble's end.
        {"on the grid of a preamble", stream(576, {{5, idle_batch}, {3, costly_tone_page}}), both},
    };
    for (const filter_case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode_to_end(c.bits).out, c.out);
    }
}

// Idle codewords after a tone page are evidence too: with enough of them a
// page found alone may have needed more corrections. Here 3 wrong sync bits
// and 2 corrected address bits come to 5: one idle codeword makes 2
// codewords + 2, too few; two make 3 + 2, enough.
TEST(PageFilter, IdleCodewordsCountForThePage) {
    const uint32_t address = damaged(pocsag_address_codeword(8, 1), 2);
    const uint32_t idle = encode_idle_codeword, next = pocsag_address_codeword(16, 0);
    EXPECT_EQ(decode_to_end(stream(0, {{3, {address, idle, next}}})).out, "address:17;message:\n");
    EXPECT_EQ(decode_to_end(stream(0, {{3, {address, idle, idle, next}}})).out,
              "address:8;message:\naddress:17;message:\n");
}

// Chance sync codewords in random bits, each followed by 16 random words: a
// preamble in front of each shows how many pages they hold; alone, the rule
// lets through less than one in twenty.
TEST(PageFilter, ChanceSyncsInNoiseGiveFewPages) {
    std::mt19937 random(2024);
    std::vector<uint8_t> alone, with_preamble;
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> noise;
        for (int k = 0; k < 200; ++k) noise.push_back(static_cast<uint8_t>(random() & 1));
        uint32_t sync = encode_sync_codeword;
        for (int wrong = 0; wrong < 3;) {
            const uint32_t bit = 1u << (random() % 32);
            if ((sync ^ encode_sync_codeword) & bit) continue;
            sync ^= bit;
            ++wrong;
        }
        std::vector<uint8_t> batch;
        append_codeword_bits(batch, sync);
        for (int k = 0; k < 16; ++k) append_codeword_bits(batch, static_cast<uint32_t>(random()));
        alone.insert(alone.end(), noise.begin(), noise.end());
        alone.insert(alone.end(), batch.begin(), batch.end());
        with_preamble.insert(with_preamble.end(), noise.begin(), noise.end());
        append_preamble(with_preamble, page_preamble_bits);
        with_preamble.insert(with_preamble.end(), batch.begin(), batch.end());
    }
    auto lines = [](const std::string &text) { return std::count(text.begin(), text.end(), '\n'); };
    const long held = lines(decode_to_end(with_preamble).out);
    const long printed = lines(decode_to_end(alone).out);
    EXPECT_GT(held, 300);
    EXPECT_LT(printed * 20, held) << printed << " of " << held;
}

TEST(PageFilter, PreambleErrorsInEitherPhase) {
    std::vector<uint8_t> bits;
    append_preamble(bits, page_preamble_bits);
    EXPECT_EQ(preamble_errors(bits.data()), 0);
    for (uint8_t &b : bits) b = static_cast<uint8_t>(b ? 0 : 7);  // other phase; any non-zero byte is 1
    EXPECT_EQ(preamble_errors(bits.data()), 0);
    bits[3] = bits[3] ? 0 : 1;
    bits[10] = bits[10] ? 0 : 1;
    EXPECT_EQ(preamble_errors(bits.data()), 2);
    EXPECT_EQ(preamble_errors(std::vector<uint8_t>(page_preamble_bits, 0).data()), page_preamble_bits / 2);
}

}  // namespace
