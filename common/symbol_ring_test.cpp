// SPDX-License-Identifier: MIT
#include "symbol_ring.h"

#include <gtest/gtest.h>

TEST(RingMod, WrapsNegativeAndLargeValues) {
    struct { int32_t a, b, expected; } cases[] = {
        {-1, 1024, 1023}, {1024, 1024, 0}, {-1025, 1024, 1023}, {2047, 2048, 2047}, {0, 1024, 0}, {5 - 1000, 1024, 29},
    };
    for (auto c : cases) EXPECT_EQ(ring_mod(c.a, c.b), c.expected) << c.a << " mod " << c.b;
}

TEST(SymbolRing, FillAppendAtAndAdvance) {
    static symbol_ring<uint8_t, 1024> ring;
    EXPECT_EQ(ring_fill(ring), 0);
    ring.write_pos = 5;
    ring.read_pos = 1000;
    EXPECT_EQ(ring_fill(ring), 29);
    ring.read_pos = 5;
    EXPECT_EQ(ring_fill(ring), 0);

    ring.write_pos = 1022;
    const uint8_t three[3] = {7, 8, 9};
    ring_append(ring, three, 3);
    EXPECT_EQ(ring.entries[1022], 7);
    EXPECT_EQ(ring.entries[1023], 8);
    EXPECT_EQ(ring.entries[0], 9);
    EXPECT_EQ(ring.write_pos, 1);

    ring.entries[70] = 42;
    ring.read_pos = 950;
    EXPECT_EQ(ring_at(ring, 144), 42);
    EXPECT_EQ(ring_at(ring, 144 - 1024), 42);
    uint8_t copy[4];
    ring_copy(ring, 1022 - 950, copy, 4);
    EXPECT_EQ(copy[0], 7);
    EXPECT_EQ(copy[2], 9);

    ring.read_pos = 1023;
    ring_advance(ring, 1);
    EXPECT_EQ(ring.read_pos, 0);
    ring_advance(ring, -1);
    EXPECT_EQ(ring.read_pos, 1023);
    ring_advance(ring, 2049);
    EXPECT_EQ(ring.read_pos, 0);
}

TEST(SymbolRing, FloatRingOfOtherSize) {
    static symbol_ring<float, 2048> ring;
    float block[256];
    for (int i = 0; i < 256; ++i) block[i] = static_cast<float>(i);
    for (int k = 0; k < 9; ++k) {
        ring_append(ring, block, 256);
        ring_advance(ring, 256);
    }
    EXPECT_EQ(ring.write_pos, (9 * 256) % 2048);
    EXPECT_EQ(ring_fill(ring), 0);
    EXPECT_EQ(ring_at(ring, -1), 255.0f);
}
