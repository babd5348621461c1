// SPDX-License-Identifier: MIT
// BPTC (196,96) encoder against a plain receiver-side decoding, and the
// placement of each matrix cell in the transmitted bits.

#include "bptc_196_96_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reference_decoder.h"

using namespace dmr_encode;

TEST(Bptc19696, DataComesBackThroughDeinterleaveAndMatrix) {
    std::mt19937 random(19696);
    std::vector<std::array<uint8_t, 12>> inputs = {{}, {}};
    inputs[1].fill(0xFF);
    for (int i = 0; i < 50; ++i) {
        std::array<uint8_t, 12> d;
        for (auto &b : d) b = static_cast<uint8_t>(random());
        inputs.push_back(d);
    }
    for (const auto &d : inputs) {
        uint8_t bits[25];
        bptc_196_96_encode(d.data(), bits);
        EXPECT_EQ(bits[24] & 0x0F, 0) << "bits past 196 stay clear";
        uint8_t back[12];
        ASSERT_TRUE(reference::bptc_decode(bits, back));
        EXPECT_EQ(std::vector<uint8_t>(back, back + 12), std::vector<uint8_t>(d.begin(), d.end()));
    }
}

TEST(Bptc19696, EachMatrixCellHasItsOwnTransmittedBit) {
    std::vector<int> seen(196, 0);
    for (int r = 0; r < 13; ++r)
        for (int c = 0; c < 15; ++c) {
            int bit = bptc_196_96_bit_of(r, c);
            ASSERT_GE(bit, 0);
            ASSERT_LT(bit, 196);
            ++seen[static_cast<size_t>(bit)];
        }
    seen[static_cast<size_t>(bptc_196_96_interleave(0))]++;  // the reserved bit
    for (int i = 0; i < 196; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], 1) << i;
}

TEST(Bptc19696, FlippingOneCellBreaksExactlyItsColumnAndRow) {
    const uint8_t data[12] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x0F, 0x1E, 0x2D, 0x3C};
    uint8_t clean[25];
    bptc_196_96_encode(data, clean);
    for (int r = 0; r < 13; ++r)
        for (int c = 0; c < 15; ++c) {
            uint8_t bits[25];
            std::copy(clean, clean + 25, bits);
            int n = bptc_196_96_bit_of(r, c);
            put_bit(bits, n, !bit_at(bits, n));
            // Receiver view: deinterleaved bit 1 + 15 r' + c' is cell (r', c').
            for (int cc = 0; cc < 15; ++cc) {
                uint32_t w = 0;
                for (int rr = 0; rr < 13; ++rr) w = w << 1 | bit_at(bits, ((1 + 15 * rr + cc) * 181) % 196);
                uint32_t s = reference::syndrome(w, reference::h13_rows, 4);
                // A single error in row r of a column has the syndrome of that row's position.
                uint32_t expected = cc == c ? reference::syndrome(1u << (12 - r), reference::h13_rows, 4) : 0;
                ASSERT_EQ(s, expected) << "cell " << r << "," << c << " column " << cc;
            }
        }
}
