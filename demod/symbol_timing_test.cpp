// SPDX-License-Identifier: MIT
#include "symbol_timing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A phase buffer of 100 windows in which every position j varies by
// +-background (variance background^2) except the positions set with spread().
struct phase_fixture {
    int32_t window_length;
    std::vector<float> entries;

    phase_fixture(int32_t length, float background) : window_length(length), entries(100 * length) {
        for (int32_t j = 0; j < length; ++j) spread(j, 100, background);
    }
    // The first count entries of position j alternate +a, -a, the rest are 0:
    // mean 0, variance count * a^2 / 100.
    phase_fixture &spread(int32_t j, int32_t count, float a) {
        for (int32_t m = 0; m < 100; ++m) entries[j + m * window_length] = m < count ? (m % 2 ? -a : a) : 0.0f;
        return *this;
    }
    phase_fixture &set(int32_t j, int32_t m, float value) {
        entries[j + m * window_length] = value;
        return *this;
    }
    int32_t correction() const { return timing_correction(entries.data(), window_length); }
    double variance(int32_t j) const {
        double variances[timing_max_window_length];
        timing_variances(entries.data(), window_length, variances);
        return variances[j];
    }
};

}  // namespace

TEST(TimingCorrection, MovesTowardsTheWindowEdgeNearestTheSymbolChange) {
    struct {
        int32_t window_length, quiet_position, expected;
    } cases[] = {
        {10, 0, 0}, {10, 1, 1}, {10, 4, 1},  {10, 5, -1}, {10, 8, -1}, {10, 9, 0},
        {40, 0, 0}, {40, 3, 1}, {40, 6, -1}, {40, 9, 0},  {40, 20, 0}, {40, 39, 0},
    };
    for (auto c : cases) {
        phase_fixture f(c.window_length, 100.0f);
        f.spread(c.quiet_position, 100, 1.0f);
        EXPECT_EQ(f.correction(), c.expected) << "window " << c.window_length << ", quiet at " << c.quiet_position;
    }
}

TEST(TimingCorrection, TieGoesToTheLowerPosition) {
    phase_fixture f(10, 100.0f);
    f.spread(3, 100, 1.0f).spread(6, 100, 1.0f);
    EXPECT_EQ(f.correction(), 1);
    f.spread(3, 100, 1.5f);
    EXPECT_EQ(f.correction(), -1);
}

TEST(TimingCorrection, NoMoveWithoutUsableVariance) {
    // A constant signal has no variance anywhere.
    phase_fixture constant(10, 0.0f);
    for (float &e : constant.entries) e = 2.5f;
    EXPECT_EQ(constant.correction(), 0);

    // The quietest position is constant while the others vary.
    phase_fixture zero(10, 100.0f);
    zero.spread(4, 100, 0.0f);
    EXPECT_EQ(zero.correction(), 0);

    // 20 entries of +-5000: exactly the limit still moves; +-5001 is above it.
    phase_fixture at_limit(10, 6000.0f);
    at_limit.spread(3, 20, 5000.0f);
    EXPECT_EQ(at_limit.variance(3), timing_variance_limit);
    EXPECT_EQ(at_limit.correction(), 1);
    at_limit.spread(3, 20, 5001.0f);
    EXPECT_EQ(at_limit.correction(), 0);
}

TEST(TimingCorrection, NanAndInfiniteSamplesDoNotBlindTheCheck) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    phase_fixture f(10, 100.0f);
    f.spread(3, 100, 1.0f).set(0, 17, nan);
    EXPECT_TRUE(std::isnan(f.variance(0)));
    EXPECT_EQ(f.correction(), 1);

    // An infinite sample spoils its position; the next quietest one counts.
    f.spread(2, 100, 0.5f).set(2, 40, inf).spread(7, 100, 0.7f);
    EXPECT_EQ(f.correction(), -1);

    // Nothing usable at all.
    for (float &e : f.entries) e = nan;
    EXPECT_EQ(f.correction(), 0);
}
