// SPDX-License-Identifier: MIT
// Block-code encoders: the fixed words of the EMB and slot type, and for
// every code each codeword's syndrome under the receiver's rows and the
// minimum distance found by brute force.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <string>

#include "golay_20_8_encoder.h"
#include "hamming_13_9_encoder.h"
#include "hamming_15_11_encoder.h"
#include "hamming_16_11_encoder.h"
#include "hamming_7_4_encoder.h"
#include "qr_16_7_encoder.h"
#include "reference_decoder.h"

using namespace dmr_encode;

namespace {

struct code_case {
    std::string name;
    int data_bits;
    int check_bits;
    std::function<uint32_t(uint32_t)> encode;
    const uint32_t *rows;
    int distance;
};

std::vector<code_case> code_cases() {
    return {
        {"qr_16_7", 7, 9, [](uint32_t d) { return uint32_t{qr_16_7_encode(static_cast<uint8_t>(d))}; },
         reference::qr_rows, 6},
        {"golay_20_8", 8, 12, [](uint32_t d) { return golay_20_8_encode(static_cast<uint8_t>(d)); },
         reference::golay_rows, 8},
        {"hamming_7_4", 4, 3, [](uint32_t d) { return uint32_t{hamming_7_4_encode(static_cast<uint8_t>(d))}; },
         reference::tact_rows, 3},
        {"hamming_16_11", 11, 5, [](uint32_t d) { return uint32_t{hamming_16_11_encode(static_cast<uint16_t>(d))}; },
         reference::h16_rows, 4},
        {"hamming_13_9", 9, 4, [](uint32_t d) { return uint32_t{hamming_13_9_encode(static_cast<uint16_t>(d))}; },
         reference::h13_rows, 3},
        {"hamming_15_11", 11, 4, [](uint32_t d) { return uint32_t{hamming_15_11_encode(static_cast<uint16_t>(d))}; },
         reference::h15_rows, 3},
    };
}

}  // namespace

TEST(BlockCodes, CodewordsAreSystematicWithZeroSyndromeAndFullDistance) {
    for (const code_case &c : code_cases()) {
        SCOPED_TRACE(c.name);
        const uint32_t count = 1u << c.data_bits;
        std::vector<uint32_t> words;
        for (uint32_t d = 0; d < count; ++d) {
            uint32_t w = c.encode(d);
            ASSERT_EQ(w >> c.check_bits, d) << "data " << d;
            ASSERT_EQ(reference::syndrome(w, c.rows, c.check_bits), 0u) << "data " << d;
            words.push_back(w);
        }
        // Data bits above the code's width are ignored.
        EXPECT_EQ(c.encode(count | 1u), c.encode(1u));
        int minimum = 99;
        for (size_t i = 0; i < words.size(); ++i)
            for (size_t j = i + 1; j < words.size(); ++j)
                minimum = std::min(minimum, std::popcount(words[i] ^ words[j]));
        EXPECT_EQ(minimum, c.distance);
    }
}

TEST(BlockCodes, FixedEmbAndSlotTypeWords) {
    // EMB colour code 1, PI 0, LCSS 1; slot type colour code 1, data type 1.
    EXPECT_EQ(qr_16_7_encode(0x09), 0x1391);
    EXPECT_EQ(qr_16_7_encode(0), 0);
    EXPECT_EQ(golay_20_8_encode(0x11), 0x11B8Cu);
    EXPECT_EQ(golay_20_8_encode(0), 0u);
}

TEST(BlockCodes, TactCheckBitsFollowTheirEquations) {
    for (int d = 0; d < 16; ++d) {
        int at = d >> 3 & 1, tc = d >> 2 & 1, hi = d >> 1 & 1, lo = d & 1;
        int expected = d << 3 | (at ^ tc ^ hi) << 2 | (tc ^ hi ^ lo) << 1 | (at ^ tc ^ lo);
        EXPECT_EQ(hamming_7_4_encode(static_cast<uint8_t>(d)), expected) << d;
    }
}

TEST(BlockCodes, TactSingleErrorsAreLocatedByTheReceiverSyndromeTable) {
    // Syndrome 1..7 -> the bit a receiver flips.
    const int flipped[8] = {-1, 0, 1, 3, 2, 6, 4, 5};
    for (int d = 0; d < 16; ++d)
        for (int bit = 0; bit < 7; ++bit) {
            uint32_t received = hamming_7_4_encode(static_cast<uint8_t>(d)) ^ (1u << bit);
            EXPECT_EQ(flipped[reference::syndrome(received, reference::tact_rows, 3)], bit);
        }
}
