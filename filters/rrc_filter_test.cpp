// SPDX-License-Identifier: MIT
#include "rrc_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tone_gain.h"

namespace {

std::vector<float> filter(std::vector<float> samples) {
    rrc_state state;
    rrc_filter(state, samples.data(), samples.size());
    return samples;
}

// The filter one sample at a time, as the pulse is defined: shift the
// 81-sample history, sum the taps against it oldest first, divide.
std::vector<float> filter_one_by_one(const std::vector<float> &input) {
    float history[rrc_tap_count] = {};
    std::vector<float> out;
    for (float x : input) {
        std::memmove(history, history + 1, (rrc_tap_count - 1) * sizeof(float));
        history[rrc_tap_count - 1] = x;
        float sum = 0.0f;
        for (int k = 0; k < rrc_tap_count; ++k) sum = rrc_taps[static_cast<std::size_t>(k)] * history[k] + sum;
        out.push_back(static_cast<float>(static_cast<double>(sum) / rrc_normaliser));
    }
    return out;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(RrcTaps, SymmetricPulseWithTheStatedSum) {
    for (int k = 0; k < rrc_tap_count; ++k)
        EXPECT_EQ(rrc_taps[static_cast<std::size_t>(k)], rrc_taps[static_cast<std::size_t>(80 - k)]) << k;
    EXPECT_EQ(std::max_element(rrc_taps.begin(), rrc_taps.end()) - rrc_taps.begin(), 40);
    double sum = 0;
    for (float c : rrc_taps) sum += c;
    EXPECT_NEAR(sum, 8.3667781834, 1e-10);
    EXPECT_NEAR(sum / rrc_normaliser, 1.0, 1e-8);
}

TEST(RrcFilter, ImpulseGivesTheTapsThenZeros) {
    std::vector<float> impulse(200, 0.0f);
    impulse[0] = 1.0f;
    const std::vector<float> out = filter(impulse);
    for (int n = 0; n < rrc_tap_count; ++n)
        EXPECT_EQ(out[n], static_cast<float>(rrc_taps[static_cast<std::size_t>(80 - n)] / rrc_normaliser)) << n;
    for (std::size_t n = rrc_tap_count; n < out.size(); ++n) EXPECT_EQ(out[n], 0.0f) << n;
}

TEST(RrcFilter, ConstantInputRisesThroughPartialSumsToUnityGain) {
    const std::vector<float> out = filter(std::vector<float>(600, 1.0f));
    float partial = 0.0f;
    for (int n = 0; n < 80; ++n) {
        // Output n has seen n + 1 samples: the taps from c[80 - n] up to c[80].
        partial = 0.0f;
        for (int k = 80 - n; k <= 80; ++k) partial = rrc_taps[static_cast<std::size_t>(k)] + partial;
        EXPECT_EQ(out[n], static_cast<float>(partial / rrc_normaliser)) << n;
    }
    for (std::size_t n = 80; n < out.size(); ++n) ASSERT_EQ(out[n], 1.0000002f) << n;
}

TEST(RrcFilter, PassesTheSymbolBandAndStopsAboveIt) {
    auto run = [](std::vector<float> &samples) {
        rrc_state state;
        rrc_filter(state, samples.data(), samples.size());
    };
    EXPECT_NEAR(tone_gain(run, 0.02, 400, 5000), 1.0, 0.01);
    for (double f : {0.1, 0.2, 0.3, 0.45}) EXPECT_LT(tone_gain(run, f, 400, 5000), 0.004) << f;
}

TEST(RrcFilter, SideBySideSumsMatchTheOneByOneFilterForAnySplit) {
    std::vector<float> input(1500);
    uint32_t seed = 99;
    for (float &x : input) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
    }
    input[700] = 1e30f;  // large values round differently in every tap order
    const std::vector<float> expected = filter_one_by_one(input);
    for (rrc_lanes lanes : {rrc_lanes::narrow, rrc_lanes::wide}) {
        for (std::size_t piece : {1u, 31u, 32u, 33u, 256u, 257u, 1500u}) {
            rrc_state state;
            std::vector<float> out = input;
            for (std::size_t i = 0; i < out.size(); i += piece)
                rrc_filter_with(state, out.data() + i, std::min(piece, out.size() - i), lanes);
            for (std::size_t n = 0; n < out.size(); ++n)
                ASSERT_TRUE(same_bits(out[n], expected[n])) << (lanes == rrc_lanes::wide ? "wide" : "narrow")
                                                            << " lanes, pieces of " << piece << ", output " << n;
        }
    }
    if (!rrc_wide_lanes_available()) GTEST_LOG_(INFO) << "this processor has no wide lanes; narrow ones checked twice";
}

TEST(RrcFilter, NonFiniteSampleSpoilsOnlyTheOutputsThatSumIt) {
    for (float bad : {std::nanf(""), std::numeric_limits<float>::infinity()}) {
        std::vector<float> input(400, 0.0f);
        for (std::size_t i = 0; i < input.size(); ++i) input[i] = std::cos(0.3f * static_cast<float>(i));
        std::vector<float> clean = input;
        clean[100] = 0.0f;
        input[100] = bad;
        const std::vector<float> out = filter(input);
        const std::vector<float> reference = filter(clean);
        for (std::size_t n = 0; n < out.size(); ++n) {
            if (n >= 100 && n <= 180)
                EXPECT_FALSE(std::isfinite(out[n])) << n;
            else
                EXPECT_EQ(out[n], reference[n]) << n;
        }
    }
}
