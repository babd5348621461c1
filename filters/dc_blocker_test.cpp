// SPDX-License-Identifier: MIT
#include "dc_blocker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tone_gain.h"

namespace {

std::vector<float> filter(std::vector<float> samples) {
    dc_blocker_state state;
    dc_blocker_filter(state, samples.data(), samples.size());
    return samples;
}

}  // namespace

TEST(DcBlocker, CoefficientsAreTheStatedFloats) {
    EXPECT_EQ(std::bit_cast<uint32_t>(dc_blocker_gain), 0x3F7F5C29u);
    EXPECT_EQ(std::bit_cast<uint32_t>(dc_blocker_pole), 0x3F7EB852u);
}

TEST(DcBlocker, StepResponseDecaysByThePole) {
    EXPECT_EQ(filter({-3.5f})[0], -3.5f * 0.9975f);
    const std::vector<float> out = filter(std::vector<float>(2000, 1.0f));
    EXPECT_EQ(out[0], 0.9975f);
    for (std::size_t i = 1; i < out.size(); ++i) ASSERT_EQ(out[i], out[i - 1] * 0.995f) << "sample " << i;
    EXPECT_LT(out.back(), 1e-4f);
}

TEST(DcBlocker, PassesHalfTheSampleRate) {
    std::vector<float> alternating(5001);
    for (std::size_t i = 0; i < alternating.size(); ++i) alternating[i] = i % 2 ? -1.0f : 1.0f;
    const std::vector<float> out = filter(alternating);
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(std::signbit(out[i]), i % 2 == 1) << "sample " << i;
    EXPECT_NEAR(std::fabs(out[5000]), 1.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(out[4999]), 1.0f, 1e-5f);
}

TEST(DcBlocker, RemovesOffsetFromATone) {
    // A tone of 1 kHz at 48000 samples/s riding on a DC offset of 0.3.
    auto run = [](std::vector<float> &samples) {
        for (float &s : samples) s += 0.3f;
        dc_blocker_state state;
        dc_blocker_filter(state, samples.data(), samples.size());
    };
    EXPECT_NEAR(tone_gain(run, 1000.0 / 48000.0, 4800, 4800), 1.0, 0.002);
    EXPECT_NEAR(tone_gain(run, 38.3 / 48000.0, 48000, 48000 * 2), std::sqrt(0.5), 0.01);
    std::vector<float> offset(4000, 0.3f);
    run(offset);
    EXPECT_LT(std::fabs(offset.back()), 1e-5f);
}

TEST(DcBlocker, StateCarriesAcrossAnySplitOfTheInput) {
    std::vector<float> input(300);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = std::sin(0.1f * static_cast<float>(i)) + 0.2f;
    const std::vector<float> whole = filter(input);
    for (std::size_t piece : {1u, 44u, 256u}) {
        dc_blocker_state state;
        std::vector<float> split = input;
        for (std::size_t i = 0; i < split.size(); i += piece)
            dc_blocker_filter(state, split.data() + i, std::min(piece, split.size() - i));
        EXPECT_EQ(split, whole) << "pieces of " << piece;
    }
}

TEST(DcBlocker, NonFiniteSampleCountsAsZero) {
    std::vector<float> input(20);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = 0.5f + 0.1f * static_cast<float>(i % 3);
    std::vector<float> zeroed = input;
    zeroed[5] = 0.0f;
    const std::vector<float> expected = filter(zeroed);
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {std::nanf(""), inf, -inf}) {
        input[5] = bad;
        EXPECT_EQ(filter(input), expected) << bad;
    }
}

TEST(DcBlocker, OverflowRestartsFromTheSampleAndStaysFinite) {
    // 3e38 - (-3e38) overflows the difference: that output is 0, and the
    // filter goes on from the sample as its previous input.
    std::vector<float> input = {-3e38f, 3e38f, 3e38f, 3e38f};
    const std::vector<float> out = filter(input);
    EXPECT_TRUE(std::isfinite(out[0]));
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_EQ(out[3], 0.0f);

    input.insert(input.end(), {1.0f, 1.0f});
    const std::vector<float> after = filter(input);
    EXPECT_EQ(after[4], (1.0f - 3e38f) * 0.9975f);
    EXPECT_TRUE(std::isfinite(after[5]));
}
