// SPDX-License-Identifier: MIT
#include "bits.h"

#include <gtest/gtest.h>

TEST(Bits, MostSignificantFirst) {
    uint8_t bytes[2] = {0, 0};
    put_bit(bytes, 0, 1);
    put_bit(bytes, 9, 1);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x40);
    EXPECT_EQ(bit_at(bytes, 9), 1);
    put_bit(bytes, 9, 0);
    EXPECT_EQ(bytes[1], 0);

    uint8_t bits[12], packed[2], back[12];
    word_to_bits(0xA5C, 12, bits);
    EXPECT_EQ(bits_to_word(bits, 12), 0xA5Cu);
    pack_bits(bits, 12, packed);
    EXPECT_EQ(packed[0], 0xA5);
    EXPECT_EQ(packed[1], 0xC0);
    unpack_bits(packed, 12, back);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(back[i], bits[i]);

    uint8_t symbols[6], bits2[12];
    bits_to_symbols(bits, 6, symbols);
    EXPECT_EQ(symbols[0], 2);  // 10
    EXPECT_EQ(symbols[1], 2);  // 10
    symbols_to_bits(symbols, 6, bits2);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bits2[i], bits[i]);
}
