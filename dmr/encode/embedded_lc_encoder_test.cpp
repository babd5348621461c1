// SPDX-License-Identifier: MIT
// Embedded LC block, checksum and fragments, and the full LC bytes with
// their Reed-Solomon parity.

#include "embedded_lc_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "full_lc_encoder.h"
#include "reference_decoder.h"
#include "rs_12_9_encoder.h"

using namespace dmr_encode;

namespace {

std::vector<uint8_t> lc_of(uint8_t opcode, uint32_t target, uint32_t source) {
    full_lc lc;
    lc.opcode = opcode;
    lc.target = target;
    lc.source = source;
    std::vector<uint8_t> b(9);
    full_lc_bytes(lc, b.data());
    return b;
}

// GF(256) product with x^8 + x^4 + x^3 + x^2 + 1, for the test's own check
// of the Reed-Solomon codewords.
uint8_t gf_mul(uint8_t a, uint8_t b) {
    uint8_t p = 0;
    while (b) {
        if (b & 1) p ^= a;
        a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
        b >>= 1;
    }
    return p;
}

}  // namespace

TEST(FullLc, BytesCarryOpcodeAddressesMostSignificantFirst) {
    EXPECT_EQ(lc_of(0, 9, 2001), (std::vector<uint8_t>{0, 0, 0, 0, 0, 9, 0, 0x07, 0xD1}));
    EXPECT_EQ(lc_of(3, 0x123456, 0xABCDEF), (std::vector<uint8_t>{3, 0, 0, 0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF}));
    // Protect flag and reserved bit stay clear; addresses keep 24 bits.
    EXPECT_EQ(lc_of(0xFF, 0x1FFFFFF, 0x1000001), (std::vector<uint8_t>{0x3F, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 1}));
}

TEST(EmbeddedLc, ChecksumIsByteSumModulo31) {
    const uint8_t zero[9] = {};
    EXPECT_EQ(embedded_lc_checksum(zero), 0);
    EXPECT_EQ(embedded_lc_checksum(lc_of(0, 9, 2001).data()), 8);  // 9 + 7 + 209 = 225
    const uint8_t ones[9] = {255, 255, 255, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(embedded_lc_checksum(ones), 2295 % 31);
}

TEST(EmbeddedLc, BlockDecodesBackWithRowsParityAndChecksum) {
    std::mt19937 random(12872);
    std::vector<std::vector<uint8_t>> cases = {std::vector<uint8_t>(9, 0), lc_of(0, 9, 2001),
                                               lc_of(3, 3120001, 2624154), std::vector<uint8_t>(9, 0xFF)};
    for (int i = 0; i < 40; ++i) {
        std::vector<uint8_t> lc(9);
        for (auto &b : lc) b = static_cast<uint8_t>(random());
        cases.push_back(lc);
    }
    for (const auto &lc : cases) {
        uint8_t block[16];
        embedded_lc_encode(lc.data(), block);
        uint8_t back[9];
        ASSERT_TRUE(reference::embedded_lc_decode(block, back));
        EXPECT_EQ(std::vector<uint8_t>(back, back + 9), lc);
        // Row words as the receiver forms them.
        for (int r = 0; r < 8; ++r) {
            uint16_t row = 0;
            for (int c = 0; c < 16; ++c) row = static_cast<uint16_t>(row << 1 | ((block[c] >> (7 - r)) & 1));
            EXPECT_EQ(embedded_lc_row(block, r), row);
            EXPECT_EQ(bit_at(block, embedded_lc_bit_of(r, 3)), (row >> 12) & 1);
        }
    }
}

TEST(EmbeddedLc, FragmentsSplitTheBlockInOrderWithTheirLcss) {
    uint8_t block[16];
    embedded_lc_encode(lc_of(0, 9, 2001).data(), block);
    uint8_t joined[16];
    for (int k = 0; k < 4; ++k) {
        uint32_t f = embedded_lc_fragment(block, k);
        for (int i = 0; i < 4; ++i) joined[4 * k + i] = static_cast<uint8_t>(f >> (24 - 8 * i));
    }
    EXPECT_EQ(std::vector<uint8_t>(joined, joined + 16), std::vector<uint8_t>(block, block + 16));
    EXPECT_EQ(embedded_lc_fragment_lcss(0), 1);
    EXPECT_EQ(embedded_lc_fragment_lcss(1), 3);
    EXPECT_EQ(embedded_lc_fragment_lcss(2), 3);
    EXPECT_EQ(embedded_lc_fragment_lcss(3), 2);
}

TEST(ReedSolomon129, FullLcDataIsACodewordUnderItsMask) {
    full_lc lc;
    lc.target = 9;
    lc.source = 2001;
    for (uint8_t mask : {uint8_t{0}, rs_mask_voice_lc_header, rs_mask_terminator_lc}) {
        uint8_t data[12];
        full_lc_data(lc, mask, data);
        EXPECT_EQ(std::vector<uint8_t>(data, data + 9), lc_of(0, 9, 2001));
        for (int i = 9; i < 12; ++i) data[i] ^= mask;
        // The roots a, a^2, a^3 of the generator, evaluated by Horner's rule.
        uint8_t root = 1;
        for (int power = 1; power <= 3; ++power) {
            root = gf_mul(root, 2);
            uint8_t v = 0;
            for (int i = 0; i < 12; ++i) v = static_cast<uint8_t>(gf_mul(v, root) ^ data[i]);
            EXPECT_EQ(v, 0) << "mask " << int(mask) << " power " << power;
            EXPECT_EQ(rs_12_9_evaluate(data, power), 0);
        }
        // Any single wrong byte is seen.
        data[4] ^= 0x40;
        EXPECT_NE(rs_12_9_evaluate(data, 1) | rs_12_9_evaluate(data, 2) | rs_12_9_evaluate(data, 3), 0);
    }
}
