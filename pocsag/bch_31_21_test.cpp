// SPDX-License-Identifier: MIT
#include "bch_31_21.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "pocsag_encode.h"

namespace {

TEST(Bch3121, ErrorPatternTableFollowsFromTheGenerator) {
    std::set<uint16_t> syndromes;
    int singles = 0;
    for (int i = 0; i < bch_error_pattern_count; ++i) {
        const bch_error_pattern &e = bch_error_patterns[i];
        if (i > 0) {
            EXPECT_LT(bch_error_patterns[i - 1].pattern, e.pattern);
        }
        int bits = std::popcount(e.pattern);
        EXPECT_TRUE(bits == 1 || bits == 2);
        EXPECT_EQ(e.pattern >> 31, 0u);
        singles += bits == 1;
        EXPECT_NE(e.syndrome, 0);
        syndromes.insert(e.syndrome);
    }
    EXPECT_EQ(singles, 31);
    EXPECT_EQ(syndromes.size(), 496u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bch_syndrome(1u << i), 1u << i);
    // x^10 leaves the generator's lower terms.
    EXPECT_EQ(bch_syndrome(1u << 10), 0x369);
    EXPECT_EQ(bch_syndrome(0x7CD215D8u >> 1), 0);
    EXPECT_EQ(bch_syndrome(0x7A89C197u >> 1), 0);
}

// Every pattern of 0, 1 and 2 wrong bits (flag, information and check bits
// alike) is corrected back to the sent word.
TEST(Bch3121, CorrectsUpToTwoWrongBitsAnywhere) {
    std::mt19937 random(31);
    for (int trial = 0; trial < 8; ++trial) {
        uint32_t sent = bch_31_21_encode(random() & 0x1FFFFFu);
        uint32_t word = sent;
        ASSERT_TRUE(bch_correct(word));
        EXPECT_EQ(word, sent);
        for (int a = 0; a < 31; ++a) {
            for (int b = a; b < 31; ++b) {
                word = sent ^ (1u << a) ^ (a == b ? 0 : 1u << b);
                ASSERT_TRUE(bch_correct(word)) << a << " " << b;
                EXPECT_EQ(word, sent) << a << " " << b;
            }
        }
    }
}

// Three wrong bits among the 31 with the parity bit right never pass both
// checks: either the syndrome is unknown (the word stays as received) or a
// two-bit miscorrection leaves odd parity.
TEST(Bch3121, ThreeWrongBitsNeverDecode) {
    std::mt19937 random(3);
    int ecc_failures = 0, parity_failures = 0;
    for (int trial = 0; trial < 2; ++trial) {
        uint32_t codeword = pocsag_codeword(random() & 0x1FFFFFu);
        for (int a = 0; a < 31; ++a)
            for (int b = a + 1; b < 31; ++b)
                for (int c = b + 1; c < 31; ++c) {
                    uint32_t received = (codeword >> 1) ^ (1u << a) ^ (1u << b) ^ (1u << c);
                    uint32_t word = received;
                    if (!bch_correct(word)) {
                        EXPECT_EQ(word, received);
                        ++ecc_failures;
                        continue;
                    }
                    EXPECT_FALSE(has_even_parity((word << 1) | (codeword & 1u)));
                    ++parity_failures;
                }
    }
    EXPECT_GT(ecc_failures, 0);
    EXPECT_GT(parity_failures, 0);
}

TEST(Bch3121, CorrectClearsBitsAboveTheWord) {
    uint32_t word = 0x80000000u | (0x7A89C197u >> 1);
    EXPECT_TRUE(bch_correct(word));
    EXPECT_EQ(word, 0x7A89C197u >> 1);
}

}  // namespace
