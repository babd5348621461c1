// SPDX-License-Identifier: MIT
// The four channel codes: convolutional code, Golay (24,12), CRC-16, PN9.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "bits.h"
#include "conv_k5_encode.h"
#include "crc16_encode.h"
#include "golay_24_12_encode.h"
#include "pn9_whiten.h"
#include "reference_decode.h"

using namespace ysf_encode;

namespace {

int dibit_weight(const uint8_t *d, int n) {
    int w = 0;
    for (int i = 0; i < n; ++i) w += std::popcount(static_cast<unsigned>(d[i] & 3));
    return w;
}

}  // namespace

TEST(ConvK5Encode, OutputsMatchTheStateTable) {
    const uint8_t expected[32] = {0, 3, 3, 0, 2, 1, 1, 2, 1, 2, 2, 1, 3, 0, 0, 3,
                                  1, 2, 2, 1, 3, 0, 0, 3, 0, 3, 3, 0, 2, 1, 1, 2};
    for (int p = 0; p < 16; ++p)
        for (int b = 0; b < 2; ++b)
            EXPECT_EQ(conv_k5_output(p, b), expected[2 * p + b]) << "state " << p << " bit " << b;
}

TEST(ConvK5Encode, ShortInputsWorkedByHand) {
    // A single 1 walks through states 8, 4, 2, 1: G1 = 1 + D^3 + D^4 gives the
    // high bits 1 0 0 1 1, G2 = 1 + D + D^2 + D^4 the low bits 1 1 1 0 1.
    uint8_t one = 0x80, out[8];
    conv_k5_encode(&one, 1, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{3, 1, 1, 2, 3}));
    // 1 1: the sum of the impulse response and its shift by one.
    uint8_t two = 0xC0;
    conv_k5_encode(&two, 2, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{3, 2, 0, 3, 1, 3}));
    // Zeros stay zero, tail included.
    uint8_t zero = 0;
    conv_k5_encode(&zero, 3, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 7), std::vector<uint8_t>(7, 0));
}

TEST(ConvK5Encode, FreeDistanceIsSevenAndTheTailEndsInStateZero) {
    // Every non-zero input of up to 12 bits gives a codeword of weight at
    // least 7 (the free distance of this code), so any single wrong dibit
    // leaves the sent sequence the unique closest one; the weight 7 is reached.
    int min_weight = 100;
    for (int n = 1; n <= 12; ++n)
        for (uint32_t v = 1; v < (1u << n); ++v) {
            uint8_t in[2] = {static_cast<uint8_t>(v << (16 - n) >> 8), static_cast<uint8_t>(v << (16 - n))};
            uint8_t out[16];
            conv_k5_encode(in, n, out);
            min_weight = std::min(min_weight, dibit_weight(out, n + conv_k5_tail_bits));
            uint8_t back[3] = {};
            ASSERT_TRUE(reference::conv_k5_undo(out, n + conv_k5_tail_bits, back));
            ASSERT_EQ(back[0], in[0]);
            ASSERT_EQ(back[1] & static_cast<uint8_t>(0xFF00u >> std::max(0, n - 8)), in[1]);
        }
    EXPECT_EQ(min_weight, 7);
}

TEST(Golay2412Encode, SystematicAndAgreesWithTheParityCheckRows) {
    for (uint32_t d = 0; d < 4096; ++d) {
        uint32_t w = golay_24_12_encode(d);
        ASSERT_EQ(w >> 12, d);
        ASSERT_EQ(reference::golay_24_12_syndrome(w), 0u) << std::hex << d;
    }
    EXPECT_EQ(golay_24_12_encode(0x1001), golay_24_12_encode(0x001)) << "bits above 11 are ignored";
    EXPECT_EQ(golay_24_12_encode(0x800), 0x800C75u);
}

TEST(Golay2412Encode, MinimumDistanceEightAndDistinctSyndromes) {
    int min_weight = 24;
    for (uint32_t d = 1; d < 4096; ++d) min_weight = std::min(min_weight, std::popcount(golay_24_12_encode(d)));
    EXPECT_EQ(min_weight, 8);
    // All error patterns of weight 1 to 3 have different non-zero syndromes:
    // the corrector's table can be built from the rows.
    std::set<uint32_t> seen;
    int patterns = 0;
    for (uint32_t e = 1; e < (1u << 24); ++e) {
        if (std::popcount(e) > 3) continue;
        ++patterns;
        seen.insert(reference::golay_24_12_syndrome(e));
    }
    EXPECT_EQ(patterns, 2324);
    EXPECT_EQ(seen.size(), 2324u);
    EXPECT_EQ(seen.count(0), 0u);
}

TEST(Crc16Encode, KnownVectors) {
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16_compute(digits, 9), 0xCE3C);
    const uint8_t zeros[4] = {};
    EXPECT_EQ(crc16_compute(zeros, 4), 0xFFFF);
    EXPECT_EQ(crc16_compute(zeros, 0), 0xFFFF);
    // The CRC sees every bit: flipping any one of the nine digits' bits changes it.
    for (int bit = 0; bit < 72; ++bit) {
        uint8_t copy[9];
        std::memcpy(copy, digits, 9);
        copy[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        EXPECT_NE(crc16_compute(copy, 9), 0xCE3C) << bit;
    }
}

TEST(Pn9Whiten, SequenceStartAndPeriod) {
    uint8_t zeros[64] = {}, out[64];
    pn9_whiten(zeros, out, 32);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x93, 0xD7, 0x51, 0x21}));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(pn9_bit(i), bit_at(out, i)) << i;
    // A maximal-length sequence of x^9 + x^5 + 1: period 511, 256 ones per period.
    int ones = 0;
    for (int i = 0; i < 511; ++i) {
        ones += pn9_bit(i);
        ASSERT_EQ(pn9_bit(i), pn9_bit(i + 511)) << i;
    }
    EXPECT_EQ(ones, 256);
    for (int period = 1; period < 511; ++period) {
        if (511 % period) continue;
        bool repeats = true;
        for (int i = 0; i < 511 && repeats; ++i) repeats = pn9_bit(i) == pn9_bit(i + period);
        EXPECT_FALSE(repeats) << period;
    }
}

TEST(Pn9Whiten, TwiceRestoresInPlaceAndClearsTheTail) {
    std::mt19937 rng(7);
    uint8_t data[13], copy[13];
    for (auto &b : data) b = static_cast<uint8_t>(rng());
    std::memcpy(copy, data, 13);
    pn9_whiten(data, data, 100);  // in place
    EXPECT_NE(std::memcmp(data, copy, 12), 0);
    EXPECT_EQ(data[12] & 0x0F, 0) << "bits beyond n are cleared";
    pn9_whiten(data, data, 100);
    EXPECT_EQ(std::memcmp(data, copy, 12), 0);
    EXPECT_EQ(data[12], copy[12] & 0xF0);
    uint8_t untouched = 0xAB;
    pn9_whiten(copy, &untouched, 0);
    EXPECT_EQ(untouched, 0xAB);
}
