// SPDX-License-Identifier: MIT
// The block codes of a DMR burst, checked against the encoders and the known
// words: up to t injected errors are corrected, t+1 are detected or, where
// the code allows it, visibly miscorrected.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bptc_196_96.h"
#include "dmr_encode.h"
#include "emb.h"
#include "golay_20_8.h"
#include "hamming_13_9.h"
#include "hamming_15_11.h"
#include "hamming_16_11.h"
#include "hamming_7_4.h"
#include "parity_rows_encoder.h"
#include "qr_16_7.h"
#include "rs_12_9.h"

namespace {

// What t+1 errors may do for a code.
enum class beyond_reach {
    detected,           // always reported as failure (minimum distance 2t+2)
    miscorrected,       // perfect code: always corrected to another codeword
    detected_or_wrong,  // either
};

struct code_case {
    std::string name;
    int bits;
    int data_bits;
    int t;
    beyond_reach beyond;
    bool (*correct)(uint32_t &word);
    uint32_t (*encode)(uint32_t data);
};

bool qr(uint32_t &w) {
    uint16_t v = static_cast<uint16_t>(w);
    bool ok = qr_16_7_correct(v);
    w = v;
    return ok;
}
bool golay(uint32_t &w) { return golay_20_8_correct(w); }
bool h74(uint32_t &w) {
    uint8_t v = static_cast<uint8_t>(w);
    bool ok = hamming_7_4_correct(v);
    w = v;
    return ok;
}
template <bool (*F)(uint16_t &)>
bool h16(uint32_t &w) {
    uint16_t v = static_cast<uint16_t>(w);
    bool ok = F(v);
    w = v;
    return ok;
}

const code_case code_cases[] = {
    {"qr_16_7", 16, 7, 2, beyond_reach::detected, qr,
     [](uint32_t d) -> uint32_t { return dmr_encode::qr_16_7_encode(static_cast<uint8_t>(d)); }},
    {"golay_20_8", 20, 8, 3, beyond_reach::detected_or_wrong, golay,
     [](uint32_t d) -> uint32_t { return dmr_encode::golay_20_8_encode(static_cast<uint8_t>(d)); }},
    {"hamming_7_4", 7, 4, 1, beyond_reach::miscorrected, h74,
     [](uint32_t d) -> uint32_t { return dmr_encode::hamming_7_4_encode(static_cast<uint8_t>(d)); }},
    {"hamming_16_11", 16, 11, 1, beyond_reach::detected, h16<hamming_16_11_correct>,
     [](uint32_t d) -> uint32_t { return dmr_encode::hamming_16_11_encode(static_cast<uint16_t>(d)); }},
    {"hamming_13_9", 13, 9, 1, beyond_reach::detected_or_wrong, h16<hamming_13_9_correct>,
     [](uint32_t d) -> uint32_t { return dmr_encode::hamming_13_9_encode(static_cast<uint16_t>(d)); }},
    {"hamming_15_11", 15, 11, 1, beyond_reach::miscorrected, h16<hamming_15_11_correct>,
     [](uint32_t d) -> uint32_t { return dmr_encode::hamming_15_11_encode(static_cast<uint16_t>(d)); }},
};

// Every pattern of exactly weight set bits among bits.
std::vector<uint32_t> patterns_of_weight(int bits, int weight) {
    std::vector<uint32_t> out;
    for (uint32_t p = 0; p < (1u << bits); ++p)
        if (__builtin_popcount(p) == weight) out.push_back(p);
    return out;
}

class code_sweep : public ::testing::TestWithParam<code_case> {};

TEST_P(code_sweep, corrects_up_to_t_errors_and_not_one_more) {
    const code_case &c = GetParam();
    std::mt19937 random(7);
    std::vector<uint32_t> data{0, (1u << c.data_bits) - 1};
    for (int i = 0; i < 6; ++i) data.push_back(random() & ((1u << c.data_bits) - 1));

    for (uint32_t d : data) {
        uint32_t codeword = c.encode(d);
        for (int e = 0; e <= c.t; ++e) {
            for (uint32_t p : patterns_of_weight(c.bits, e)) {
                uint32_t w = codeword ^ p;
                ASSERT_TRUE(c.correct(w)) << c.name << " data " << d << " pattern " << p;
                ASSERT_EQ(w, codeword) << c.name << " data " << d << " pattern " << p;
            }
        }
        int detected = 0, wrong = 0;
        for (uint32_t p : patterns_of_weight(c.bits, c.t + 1)) {
            uint32_t received = codeword ^ p;
            uint32_t w = received;
            if (c.correct(w)) {
                ASSERT_NE(w, codeword) << c.name << " pattern " << p;
                ++wrong;
            } else {
                ASSERT_EQ(w, received) << c.name << ": a failed word is left as received";
                ++detected;
            }
        }
        if (c.beyond == beyond_reach::detected) {
            EXPECT_EQ(wrong, 0) << c.name;
        }
        if (c.beyond == beyond_reach::miscorrected) {
            EXPECT_EQ(detected, 0) << c.name;
        }
        if (c.beyond == beyond_reach::detected_or_wrong) {
            EXPECT_GT(detected, 0) << c.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(dmr, code_sweep, ::testing::ValuesIn(code_cases),
                         [](const auto &info) { return info.param.name; });

TEST(emb, known_words_and_their_fields) {
    // Colour code 1, PI 0, LCSS 1.
    EXPECT_EQ(dmr_encode::emb_word(1, 0, 1), 0x1391);
    for (uint32_t p : patterns_of_weight(16, 1)) {
        emb_fields f = decode_emb(static_cast<uint16_t>(0x1391 ^ p));
        EXPECT_TRUE(f.valid);
        EXPECT_EQ(f.colour_code, 1);
        EXPECT_EQ(f.lcss, 1);
    }
    for (uint32_t p : patterns_of_weight(16, 2)) EXPECT_EQ(decode_emb(static_cast<uint16_t>(0x1391 ^ p)).lcss, 1);
    emb_fields zero = decode_emb(0);
    EXPECT_TRUE(zero.valid);
    EXPECT_EQ(zero.colour_code, 0);
    EXPECT_EQ(zero.lcss, 0);
    EXPECT_FALSE(decode_emb(0x1391 ^ 0x0007).valid);
}

TEST(slot_type, known_word_survives_three_errors) {
    EXPECT_EQ(dmr_encode::slot_type_word(1, 1), 0x11B8Cu);
    for (int e = 0; e <= 3; ++e)
        for (uint32_t p : patterns_of_weight(20, e)) {
            uint32_t w = 0x11B8Cu ^ p;
            ASSERT_TRUE(golay_20_8_correct(w));
            ASSERT_EQ((w >> 12) & 0xF, 1u);
        }
    uint32_t zero = 0;
    EXPECT_TRUE(golay_20_8_correct(zero));
    EXPECT_EQ(zero, 0u);
}

TEST(hamming_13_9, syndromes_without_a_single_error_fail) {
    // Two-bit errors whose syndrome is 9 or 13 (no column of the code) fail.
    int failing = 0;
    for (uint32_t p : patterns_of_weight(13, 2)) {
        uint32_t s = dmr_encode::syndrome_by_rows(p, dmr_encode::hamming_13_9_rows, 4);
        uint16_t w = static_cast<uint16_t>(dmr_encode::hamming_13_9_encode(0x155) ^ p);
        bool ok = hamming_13_9_correct(w);
        EXPECT_EQ(ok, s != 9 && s != 13) << "pattern " << p << " syndrome " << s;
        if (!ok) ++failing;
    }
    EXPECT_GT(failing, 0);
}

// BPTC (196,96): random data blocks, every single-bit error, and columns
// that cannot be corrected.
class bptc : public ::testing::Test {
   protected:
    void SetUp() override {
        std::mt19937 random(11);
        for (auto &b : data) b = static_cast<uint8_t>(random());
        dmr_encode::bptc_196_96_encode(data, bits);
    }
    static void flip(uint8_t bits[25], int n) { bits[n / 8] ^= static_cast<uint8_t>(0x80 >> (n % 8)); }
    uint8_t data[12];
    uint8_t bits[25];
};

TEST_F(bptc, decodes_clean_and_single_errors) {
    uint8_t out[12];
    ASSERT_TRUE(decode_bptc_196_96(bits, out));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 12), std::vector<uint8_t>(data, data + 12));
    for (int n = 0; n < 196; ++n) {
        uint8_t damaged[25];
        std::copy(bits, bits + 25, damaged);
        flip(damaged, n);
        ASSERT_TRUE(decode_bptc_196_96(damaged, out)) << "bit " << n;
        ASSERT_EQ(std::vector<uint8_t>(out, out + 12), std::vector<uint8_t>(data, data + 12)) << "bit " << n;
    }
}

TEST_F(bptc, one_error_per_column_everywhere_is_corrected) {
    uint8_t damaged[25];
    std::copy(bits, bits + 25, damaged);
    for (int c = 0; c < 15; ++c) flip(damaged, dmr_encode::bptc_196_96_bit_of(c % 13, c));
    uint8_t out[12];
    ASSERT_TRUE(decode_bptc_196_96(damaged, out));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 12), std::vector<uint8_t>(data, data + 12));
}

TEST_F(bptc, uncorrectable_column_fails) {
    // Rows r1, r2 of one column: the column word has errors at bits 12-r1
    // and 12-r2; pick a pair whose syndrome is 9 or 13.
    for (int c : {0, 7, 14}) {
        bool found = false;
        for (int r1 = 0; r1 < 13 && !found; ++r1)
            for (int r2 = r1 + 1; r2 < 13 && !found; ++r2) {
                uint32_t e = (1u << (12 - r1)) | (1u << (12 - r2));
                uint32_t s = dmr_encode::syndrome_by_rows(e, dmr_encode::hamming_13_9_rows, 4);
                if (s != 9 && s != 13) continue;
                found = true;
                uint8_t damaged[25];
                std::copy(bits, bits + 25, damaged);
                flip(damaged, dmr_encode::bptc_196_96_bit_of(r1, c));
                flip(damaged, dmr_encode::bptc_196_96_bit_of(r2, c));
                uint8_t out[12];
                EXPECT_FALSE(decode_bptc_196_96(damaged, out)) << "column " << c;
            }
        EXPECT_TRUE(found);
    }
}

TEST(rs_12_9, known_vector_from_the_generator) {
    // By hand: (x + 2)(x + 4) = x^2 + 6x + 8, times (x + 8) gives
    // x^3 + (6 ^ 8) x^2 + (8 ^ 6*8) x + 8*8 = x^3 + 0x0E x^2 + 0x38 x + 0x40
    // (6*8 = 0x30 and 8*8 = 0x40 need no reduction). For the LC 00 .. 00 01
    // the parity is x^3 mod g(x) = 0E 38 40: on air 98 AE D6 in a voice LC
    // header (mask 96) and 97 A1 D9 in a terminator (mask 99).
    dmr_encode::full_lc lc;
    lc.source = 1;
    struct {
        uint8_t mask, other_mask;
        uint8_t parity[3];
    } cases[] = {
        {rs_12_9_mask_voice_lc_header, rs_12_9_mask_terminator_lc, {0x98, 0xAE, 0xD6}},
        {rs_12_9_mask_terminator_lc, rs_12_9_mask_voice_lc_header, {0x97, 0xA1, 0xD9}},
    };
    for (const auto &c : cases) {
        uint8_t data[12];
        dmr_encode::full_lc_data(lc, c.mask, data);
        EXPECT_EQ(std::vector<uint8_t>(data + 9, data + 12), std::vector<uint8_t>(c.parity, c.parity + 3));
        EXPECT_TRUE(rs_12_9_check(data, c.mask));
        EXPECT_FALSE(rs_12_9_check(data, c.other_mask)) << "a header is no terminator";
    }
}

TEST(rs_12_9, any_wrong_byte_fails) {
    dmr_encode::full_lc lc;
    lc.target = 9;
    lc.source = 2001;
    uint8_t data[12];
    dmr_encode::full_lc_data(lc, rs_12_9_mask_voice_lc_header, data);
    ASSERT_TRUE(rs_12_9_check(data, rs_12_9_mask_voice_lc_header));
    std::mt19937 random(12);
    for (int errors = 1; errors <= 3; ++errors)
        for (int trial = 0; trial < 200; ++trial) {
            uint8_t damaged[12];
            std::copy(data, data + 12, damaged);
            std::vector<int> at = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
            std::shuffle(at.begin(), at.end(), random);
            for (int e = 0; e < errors; ++e)
                damaged[at[static_cast<std::size_t>(e)]] ^= static_cast<uint8_t>(1 + random() % 255);
            EXPECT_FALSE(rs_12_9_check(damaged, rs_12_9_mask_voice_lc_header)) << errors << " wrong bytes";
        }
}

}  // namespace
