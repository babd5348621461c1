// SPDX-License-Identifier: MIT
#include "quadslice.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "test_signal.h"

namespace {

std::vector<uint8_t> run_quadslice(const std::vector<float> &samples, const std::vector<int> &block_sizes = {256}) {
    auto state = std::make_unique<quadslice_state>();
    return demodulate(*state, quadslice_block, samples, block_sizes);
}

// Feeds one sample at a time and returns, for every symbol whose read
// position did not advance by exactly 10, the symbol's number (from 1) and
// the advance.
std::map<int, int32_t> timing_moves(const std::vector<float> &samples) {
    auto state = std::make_unique<quadslice_state>();
    std::map<int, int32_t> moves;
    uint8_t out[quadslice_max_symbols];
    int symbols = 0;
    for (float s : samples) {
        int32_t before = state->samples.read_pos;
        if (quadslice_block(*state, &s, 1, out) == 0) continue;
        ++symbols;
        int32_t advance = ring_mod(state->samples.read_pos - before, 1024);
        if (advance != 10) moves[symbols] = advance;
    }
    return moves;
}

}  // namespace

TEST(Quadslice, SlicesAgainstThresholdsOfTheLast100Values) {
    // Each step is one symbol whose value is exact; the history starts with
    // zeros, which count as values.
    struct step {
        float value;
        uint8_t expected;
    };
    const std::vector<step> levels = {
        {8.0f, 1},   // min 0, max 8: centre 4, upper 6.5, lower 1.5
        {6.5f, 0},   // exactly the upper threshold
        {4.0f, 2},   // exactly the centre
        {-8.0f, 3},  // min -8: centre 0, upper 5, lower -5
        {-5.0f, 2},  // exactly the lower threshold
        {0.0f, 2},  {5.0f, 0}, {5.5f, 1}, {-5.5f, 3}, {-1.0f, 2}, {1.0f, 0},
    };
    // Extremes for which the outer thresholds, scaled and offset in double
    // precision, come out one step above (upper) and below (lower) the
    // single-precision result: the values on them slice as 0 and 2, not 1
    // and 3.
    const std::vector<step> rounding = {
        {0x1.4da9fcp+6f, 1}, {-0x1.5847aep+5f, 3}, {0x1.dda6cap+5f, 0},
        {-0x1.3535p+4f, 2},  {0x1.dda6ccp+5f, 1},  {-0x1.353502p+4f, 3},
    };
    for (const auto &sequence : {levels, rounding}) {
        std::vector<float> values;
        std::vector<uint8_t> expected;
        for (const step &s : sequence) {
            values.push_back(s.value);
            expected.push_back(s.expected);
        }
        // Two more samples so that the last window is taken.
        std::vector<float> samples = value_windows(values, 10);
        samples.insert(samples.end(), 2, 0.0f);
        EXPECT_EQ(run_quadslice(samples), expected);
    }
}

TEST(Quadslice, AllZeroInputSlicesAsTwoWithoutTimingMoves) {
    struct {
        int samples, symbols;
    } cases[] = {{0, 0}, {11, 0}, {12, 1}, {21, 1}, {22, 2}, {256, 25}, {1000, 99}, {5000, 499}};
    for (auto c : cases) {
        auto state = std::make_unique<quadslice_state>();
        std::vector<uint8_t> out = demodulate(*state, quadslice_block, std::vector<float>(c.samples, 0.0f), {256});
        EXPECT_EQ(out, std::vector<uint8_t>(c.symbols, 2)) << c.samples << " samples";
        EXPECT_EQ(state->samples.read_pos, 10 * c.symbols % 1024) << c.samples << " samples";
    }
}

TEST(Quadslice, TimingRecoveryPutsTheSymbolChangeOnAWindowEdge) {
    // The first symbol change at window position 3 is moved to 2, 1 and 0 by
    // skipping a sample at the 100th, 200th and 300th symbol; at 6 it is
    // moved to 7, 8 and 9 by taking a sample twice. On an edge it stays.
    const std::map<int, int32_t> skips = {{100, 11}, {200, 11}, {300, 11}};
    const std::map<int, int32_t> repeats = {{100, 9}, {200, 9}, {300, 9}};
    EXPECT_EQ(timing_moves(held_symbols(600, 10, 3, 0.1f, four_levels, 1)), skips);
    EXPECT_EQ(timing_moves(held_symbols(600, 10, 6, 0.1f, four_levels, 2)), repeats);
    EXPECT_TRUE(timing_moves(held_symbols(600, 10, 0, 0.1f, four_levels, 3)).empty());
    EXPECT_TRUE(timing_moves(held_symbols(600, 10, 9, 0.1f, four_levels, 4)).empty());
}

TEST(Quadslice, DecodesTheSentSymbolsOnceTheTimingIsRecovered) {
    // The dibit of each level: +3 is 1, +1 is 0, -1 is 2, -3 is 3.
    auto dibit = [](float level) -> uint8_t { return level > 2 ? 1 : level > 0 ? 0 : level > -2 ? 2 : 3; };
    struct {
        int lead;
        int first_good;  // the first output symbol on a clean window
        int lag;         // output symbol k carries sent symbol k - lag
    } cases[] = {{0, 10, 0}, {3, 300, 0}, {6, 300, 1}};
    for (auto c : cases) {
        std::vector<float> sent;
        const std::vector<uint8_t> out = run_quadslice(held_symbols(600, 10, c.lead, 0.1f, four_levels, 7, &sent));
        ASSERT_GE(out.size(), 590u);
        for (size_t k = static_cast<size_t>(c.first_good); k < out.size(); ++k)
            ASSERT_EQ(out[k], dibit(sent[k - static_cast<size_t>(c.lag)])) << "lead " << c.lead << ", symbol " << k;
    }
}

TEST(Quadslice, NanAndInfiniteSamplesSliceAsTwoAndPass) {
    const std::vector<float> clean = held_symbols(300, 10, 0, 1.0f, four_levels, 5);
    const std::vector<uint8_t> reference = run_quadslice(clean);
    ASSERT_EQ(reference.size(), 299u);

    // A NaN value takes no part in the thresholds: only its own symbol
    // changes.
    std::vector<float> with_nan = clean;
    with_nan[10 * 49 + 4] = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> expected = reference;
    expected[49] = 2;
    EXPECT_EQ(run_quadslice(with_nan), expected);

    // An infinite value is an extreme for 100 symbols and makes the centre
    // infinite and the outer thresholds NaN. It slices as 2 itself; after
    // +inf every value is at most the centre (2), after -inf every value is
    // above it but not above a NaN upper threshold (0). Then the slicer
    // recovers.
    struct {
        float sample;
        uint8_t meanwhile;
    } cases[] = {{std::numeric_limits<float>::infinity(), 2}, {-std::numeric_limits<float>::infinity(), 0}};
    for (auto c : cases) {
        std::vector<float> with_inf = clean;
        with_inf[10 * 49 + 4] = c.sample;
        expected = reference;
        expected[49] = 2;
        for (int k = 50; k < 149; ++k) expected[k] = c.meanwhile;
        EXPECT_EQ(run_quadslice(with_inf), expected) << c.sample;
    }
}

TEST(Quadslice, OutputDoesNotDependOnBlockSizes) {
    // Symbols slightly longer than 10 samples: the timing recovery skips a
    // sample now and then to follow them.
    const std::vector<float> samples = drifting_symbols(30000, 10.005, four_levels, 6);
    auto state = std::make_unique<quadslice_state>();
    const std::vector<uint8_t> reference = demodulate(*state, quadslice_block, samples, {256});
    ASSERT_NE(state->samples.read_pos, 10 * static_cast<int32_t>(reference.size()) % 1024);
    for (const std::vector<int> &sizes : std::vector<std::vector<int>>{{1}, {7}, {100}, {255, 1}, {13, 256, 2, 91}})
        EXPECT_EQ(run_quadslice(samples, sizes), reference) << "first block size " << sizes[0];
}
