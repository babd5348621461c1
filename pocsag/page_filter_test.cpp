// SPDX-License-Identifier: MIT
// Pages from noise: a page is printed when its batch belongs to a
// transmission under way, or when it needed few corrections.

#include "page_filter.h"

#include <gtest/gtest.h>

#include <random>

#include "bch_31_21.h"
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

// The codewords, then idle codewords that each need one corrected bit up to
// a batch.
std::vector<uint32_t> damaged_fill(std::vector<uint32_t> codewords) {
    codewords.resize(16, damaged(encode_idle_codeword, 1));
    return codewords;
}

// A sync slot that is not one: the transmission has ended, sync is lost.
void append_end(std::vector<uint8_t> &bits) { bits.insert(bits.end(), 64, 0); }

// Tone pages behind a preamble (a transmission under way), ended by another
// address codeword or by the loss of sync at the end of the transmission. A
// tone page whose address codeword needed correction is printed when the
// codewords after it show the channel still carried the transmission: at
// least two that needed no correction before the loss of sync, or for two
// corrected bits at least one; otherwise the address is taken for one that
// correction made up from noise.
TEST(PageFilter, TonePagesMadeUpByCorrection) {
    const uint32_t clean8 = pocsag_address_codeword(8, 0), clean16 = pocsag_address_codeword(16, 0);
    const uint32_t one8 = damaged(clean8, 1), two8 = damaged(clean8, 2), one16 = damaged(clean16, 1);
    auto with_end = [](std::vector<uint8_t> bits) {
        append_end(bits);
        return bits;
    };
    const filter_case cases[] = {
        // Ended by the loss of sync.
        {"one corrected bit, clean idle fill", with_end(stream(64, {{0, {one8}}})), "address:8;message:\n"},
        {"clean address, damaged idle fill", with_end(stream(64, {{0, damaged_fill({clean8})}})),
         "address:8;message:\n"},
        {"one corrected bit, damaged idle fill", with_end(stream(64, {{0, damaged_fill({one8})}})), ""},
        {"two corrected bits, clean idle fill", with_end(stream(64, {{0, {two8}}})), "address:8;message:\n"},
        // Ended by the next page's address codeword.
        {"two corrected bits, clean next address", with_end(stream(64, {{0, {two8, clean16}}})),
         "address:8;message:\naddress:16;message:\n"},
        {"two corrected bits, nothing clean after", with_end(stream(64, {{0, damaged_fill({two8, one16})}})), ""},
        {"one corrected bit, nothing clean after", with_end(stream(64, {{0, damaged_fill({one8, one16})}})),
         "address:8;message:\n"},
        {"two corrected bits, then a clean idle codeword",
         with_end(stream(64, {{0, {two8, encode_idle_codeword, one16}}})), "address:8;message:\naddress:17;message:\n"},
    };
    for (const filter_case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode_to_end(c.bits).out, c.out);
    }
}

// A transmission whose second batch is spliced with garbage after three
// idle codewords (a burst of interference, or bits lost by the receiver):
// the garbage words that pass correction are addresses made up from noise.
// The pages of the first and third batches are printed; of the garbage,
// next to nothing.
TEST(PageFilter, BatchSplicedWithGarbage) {
    const uint32_t first = pocsag_address_codeword(1000, 3), last = pocsag_address_codeword(2000, 0);
    std::mt19937 random(19);
    long made_up = 0, opening = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<uint8_t> bits;
        append_preamble(bits, 576);
        std::vector<uint32_t> batch = {first};
        for (uint32_t w : pocsag_alphanumeric_words("HELLO")) batch.push_back(pocsag_message_codeword(w));
        append_batch(bits, 0, batch);
        std::vector<uint32_t> garbage = {encode_idle_codeword, encode_idle_codeword, encode_idle_codeword};
        while (garbage.size() < 16) {
            const auto word = static_cast<uint32_t>(random());
            uint32_t bch = word >> 1;
            if (bch_correct(bch) && has_even_parity((bch << 1) | (word & 1u)) && !(bch & (1u << 30))) ++opening;
            garbage.push_back(word);
        }
        append_batch(bits, 0, garbage);
        append_batch(bits, 0, {encode_idle_codeword, last});
        append_end(bits);
        const std::string out = decode_to_end(bits).out;
        const std::string sent = "address:1000;message:HELLO\n";
        EXPECT_EQ(out.substr(0, sent.size()), sent);
        EXPECT_NE(out.find("address:2000;message:\n"), std::string::npos);
        made_up += std::count(out.begin(), out.end(), '\n') - 2;
    }
    EXPECT_GT(opening, 300);
    EXPECT_LT(made_up * 20, opening) << made_up << " made-up pages of " << opening << " garbage address codewords";
}

// Chance sync codewords in random bits, each followed by 16 random words.
// About one random word in eight passes correction and parity as an address
// codeword and would open a page. Alone, the sync codeword's rule lets
// through less than one page in twenty of those; behind a preamble, which
// confirms the sync codeword, the marks of codewords made up by correction
// still drop more than nine in ten.
TEST(PageFilter, ChanceSyncsInNoiseGiveFewPages) {
    std::mt19937 random(2024);
    std::vector<uint8_t> alone, with_preamble;
    long opening = 0;  // random words that pass as address codewords
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
        for (int k = 0; k < 16; ++k) {
            const auto codeword = static_cast<uint32_t>(random());
            uint32_t word = codeword >> 1;
            if (bch_correct(word) && has_even_parity((word << 1) | (codeword & 1u)) && !(word & (1u << 30))) ++opening;
            append_codeword_bits(batch, codeword);
        }
        alone.insert(alone.end(), noise.begin(), noise.end());
        alone.insert(alone.end(), batch.begin(), batch.end());
        with_preamble.insert(with_preamble.end(), noise.begin(), noise.end());
        append_preamble(with_preamble, page_preamble_bits);
        with_preamble.insert(with_preamble.end(), batch.begin(), batch.end());
    }
    auto lines = [](const std::string &text) { return std::count(text.begin(), text.end(), '\n'); };
    const long held = lines(decode_to_end(with_preamble).out);
    const long printed = lines(decode_to_end(alone).out);
    EXPECT_GT(opening, 3000);
    EXPECT_LT(printed * 20, opening) << printed << " of " << opening;
    EXPECT_LT(held * 10, opening) << held << " of " << opening;
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
