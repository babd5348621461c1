// SPDX-License-Identifier: MIT
#include "symbol_distance.h"

#include <gtest/gtest.h>

#include "bits.h"

TEST(SymbolDistance, CountsDifferingBits) {
    const uint8_t one = 1, two = 2, zero = 0, three = 3;
    EXPECT_EQ(symbol_distance(&one, &two, 1), 2);
    EXPECT_EQ(symbol_distance(&zero, &three, 1), 2);
    EXPECT_EQ(symbol_distance(&one, &three, 1), 1);
    const uint8_t a[4] = {0x00, 0xFF, 0x0F, 3}, b[4] = {0xFF, 0xFF, 0xF0, 3};
    EXPECT_EQ(symbol_distance(a, a, 4), 0);
    EXPECT_EQ(symbol_distance(a, b, 4), 16);
    EXPECT_EQ(symbol_distance(a, b, 0), 0);
    EXPECT_EQ(symbol_distance(a, b, -5), 0);
    EXPECT_EQ(bit_count_table[0], 0);
    EXPECT_EQ(bit_count_table[255], 8);
    EXPECT_EQ(bit_count_table[0x96], 4);
}

TEST(SymbolStream, SyncWordsAsSymbolBytes) {
    const uint8_t ms_voice[24] = {1, 3, 1, 1, 1, 1, 3, 3, 3, 1, 1, 3, 3, 1, 3, 3, 1, 3, 1, 1, 3, 3, 1, 3};
    uint8_t symbols[24];
    word_to_symbols(0x755FD7DF75F7ull, 24, symbols);
    EXPECT_EQ(symbol_distance(symbols, ms_voice, 24), 0);
    const uint8_t bs_voice[24] = {3, 1, 3, 3, 3, 3, 1, 1, 1, 3, 3, 1, 1, 3, 1, 1, 3, 1, 3, 3, 1, 1, 3, 1};
    EXPECT_EQ(symbols_to_word(bs_voice, 24), 0xDFF57D75DF5Dull);
}
