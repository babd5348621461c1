// SPDX-License-Identifier: MIT
#include "duoslice.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "test_signal.h"

namespace {

std::vector<uint8_t> run_duoslice(const std::vector<float> &samples, bool invert = false,
                                  const std::vector<int> &block_sizes = {256}) {
    auto state = std::make_unique<duoslice_state>();
    state->invert = invert;
    return demodulate(*state, duoslice_block, samples, block_sizes);
}

std::vector<uint8_t> inverted(std::vector<uint8_t> bits) {
    for (uint8_t &b : bits) b = b ? 0 : 1;
    return bits;
}

// Feeds one sample at a time and returns, for every bit whose read position
// did not advance by exactly 40, the bit's number (from 1) and the advance.
std::map<int, int32_t> timing_moves(const std::vector<float> &samples) {
    auto state = std::make_unique<duoslice_state>();
    std::map<int, int32_t> moves;
    uint8_t out[duoslice_max_bits];
    int bits = 0;
    for (float s : samples) {
        int32_t before = state->samples.read_pos;
        if (duoslice_block(*state, &s, 1, out) == 0) continue;
        ++bits;
        int32_t advance = ring_mod(state->samples.read_pos - before, 1024);
        if (advance != 40) moves[bits] = advance;
    }
    return moves;
}

}  // namespace

TEST(Duoslice, SlicesAgainstTheCentreOfTheLast100Values) {
    // value_windows(a) gives the bit value 8a/38; half of a gives exactly
    // half of that value. The history starts with zeros.
    const std::vector<float> values = {4.0f, 2.0f, 0.0f, -4.0f, 0.0f, 0.001f, -0.001f, 2.0f};
    const std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 1, 0, 1};
    std::vector<float> samples = value_windows(values, 40);
    samples.insert(samples.end(), 2, 0.0f);
    EXPECT_EQ(run_duoslice(samples), expected);
    EXPECT_EQ(run_duoslice(samples, true), inverted(expected));
}

TEST(Duoslice, AllZeroInputGivesZeroBitsWithoutTimingMoves) {
    struct {
        int samples, bits;
    } cases[] = {{0, 0}, {41, 0}, {42, 1}, {81, 1}, {82, 2}, {256, 6}, {4000, 99}, {10000, 249}};
    for (auto c : cases) {
        for (bool invert : {false, true}) {
            auto state = std::make_unique<duoslice_state>();
            state->invert = invert;
            std::vector<uint8_t> out = demodulate(*state, duoslice_block, std::vector<float>(c.samples, 0.0f), {256});
            EXPECT_EQ(out, std::vector<uint8_t>(c.bits, invert ? 1 : 0)) << c.samples << " samples, invert " << invert;
            EXPECT_EQ(state->samples.read_pos, 40 * c.bits % 1024) << c.samples << " samples";
        }
    }
}

TEST(Duoslice, TimingRecoveryKeepsTheBitChangeOutOfPositionsOneToEight) {
    const std::map<int, int32_t> skips = {{100, 41}, {200, 41}, {300, 41}};
    const std::map<int, int32_t> repeats = {{100, 39}, {200, 39}, {300, 39}};
    EXPECT_EQ(timing_moves(held_symbols(600, 40, 3, 0.1f, two_levels, 1)), skips);
    EXPECT_EQ(timing_moves(held_symbols(600, 40, 6, 0.1f, two_levels, 2)), repeats);
    for (int lead : {0, 9, 20, 39})
        EXPECT_TRUE(timing_moves(held_symbols(600, 40, lead, 0.1f, two_levels, 3)).empty()) << "change at " << lead;
}

TEST(Duoslice, DecodesTheSentBitsOnceTheTimingIsRecovered) {
    struct {
        int lead;
        int first_good;  // the first output bit on a clean window
        int lag;         // output bit k carries sent bit k - lag
    } cases[] = {{0, 10, 0}, {3, 300, 0}, {6, 300, 1}, {20, 10, 1}};
    for (auto c : cases) {
        std::vector<float> sent;
        const std::vector<uint8_t> out = run_duoslice(held_symbols(600, 40, c.lead, 0.1f, two_levels, 8, &sent));
        ASSERT_GE(out.size(), 590u);
        for (size_t k = static_cast<size_t>(c.first_good); k < out.size(); ++k)
            ASSERT_EQ(out[k], sent[k - static_cast<size_t>(c.lag)] > 0 ? 1 : 0) << "lead " << c.lead << ", bit " << k;
    }
}

TEST(Duoslice, NanAndInfiniteSamples) {
    const std::vector<float> clean = held_symbols(300, 40, 0, 1.0f, two_levels, 4);
    const std::vector<uint8_t> reference = run_duoslice(clean);
    ASSERT_EQ(reference.size(), 299u);

    // A NaN value is never above the centre and takes no part in it.
    std::vector<float> with_nan = clean;
    with_nan[40 * 49 + 4] = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> expected = reference;
    expected[49] = 0;
    EXPECT_EQ(run_duoslice(with_nan), expected);
    EXPECT_EQ(run_duoslice(with_nan, true), inverted(expected));

    // An infinite value makes the centre infinite for 100 bits: after +inf
    // no value is above it, after -inf every value is.
    struct {
        float sample;
        uint8_t meanwhile;
    } cases[] = {{std::numeric_limits<float>::infinity(), 0}, {-std::numeric_limits<float>::infinity(), 1}};
    for (auto c : cases) {
        std::vector<float> with_inf = clean;
        with_inf[40 * 49 + 4] = c.sample;
        expected = reference;
        expected[49] = 0;
        for (int k = 50; k < 149; ++k) expected[k] = c.meanwhile;
        EXPECT_EQ(run_duoslice(with_inf), expected) << c.sample;
    }
}

TEST(Duoslice, OutputDoesNotDependOnBlockSizesAndInvertFlipsEveryBit) {
    // Bits slightly longer than 40 samples: the timing recovery skips a
    // sample now and then to follow them.
    const std::vector<float> samples = drifting_symbols(100000, 40.005, two_levels, 5);
    auto state = std::make_unique<duoslice_state>();
    const std::vector<uint8_t> reference = demodulate(*state, duoslice_block, samples, {256});
    ASSERT_NE(state->samples.read_pos, 40 * static_cast<int32_t>(reference.size()) % 1024);
    for (const std::vector<int> &sizes : std::vector<std::vector<int>>{{1}, {39}, {100}, {255, 1}, {13, 256, 2, 91}})
        EXPECT_EQ(run_duoslice(samples, false, sizes), reference) << "first block size " << sizes[0];
    EXPECT_EQ(run_duoslice(samples, true, {17}), inverted(reference));
}
