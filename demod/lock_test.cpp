// SPDX-License-Identifier: MIT
// The pieces of quadlock and duolock that have exact properties: the
// matched filter's polyphase bank and the rates duolock takes.

#include <gtest/gtest.h>

#include <cmath>

#include "duolock.h"
#include "rrc_interpolator.h"

// Every phase is the same pulse shifted: unit gain at DC, and the half-way
// phase symmetric about its centre.
TEST(RrcInterpolator, PhasesKeepUnitGainAndTheHalfPhaseIsSymmetric) {
    const rrc_interpolator &table = rrc_interpolator_table();
    for (int32_t p = 0; p <= rrc_interpolator_phases; ++p) {
        double sum = 0.0;
        for (float tap : table.taps[p]) sum += tap;
        EXPECT_NEAR(sum, 1.0, 2e-3) << "phase " << p;
    }
    const float *half = table.taps[rrc_interpolator_phases / 2];
    for (int32_t i = 0; i < rrc_interpolator_taps; ++i)
        EXPECT_FLOAT_EQ(half[i], half[rrc_interpolator_taps - 1 - i]) << i;
}

// The filter is matched to the transmit pulse: a root-raised-cosine pulse
// through it becomes a raised-cosine pulse, which is 0 at every other
// symbol instant (no inter-symbol interference), so the filter must have
// the symbol period of the signal; the pulse is cut at +-4 symbols, which
// leaves some 2.5 % at the ends. By hand, the root-raised-cosine pulse of
// roll-off a = 0.2 is 1 - a + 4 a / pi = 1.054648 at its centre and
// (sin(0.8 pi) + 0.8 cos(1.2 pi)) / (0.36 pi) = -0.052546 one symbol away.
TEST(RrcInterpolator, PulseThroughTheFilterHasNoInterSymbolInterference) {
    const float *taps = rrc_interpolator_table().taps[0];
    auto composite = [&](int32_t lag) {
        double sum = 0.0;
        for (int32_t i = 0; i < rrc_interpolator_taps; ++i) {
            const int32_t j = i + lag;
            if (j >= 0 && j < rrc_interpolator_taps) sum += static_cast<double>(taps[i]) * taps[j];
        }
        return sum;
    };
    const double peak = composite(0);
    for (int32_t k = 1; k <= 7; ++k) {
        EXPECT_LT(std::fabs(composite(10 * k)) / peak, 0.03) << "symbol " << k;
        EXPECT_LT(std::fabs(composite(-10 * k)) / peak, 0.03) << "symbol -" << k;
    }
    const int32_t centre = rrc_interpolator_before;
    EXPECT_NEAR(taps[centre - 10] / taps[centre], -0.052546 / 1.054648, 1e-5);
    EXPECT_NEAR(taps[centre + 10] / taps[centre], -0.052546 / 1.054648, 1e-5);
    // Half-way between symbols the raised cosine is far from 0.
    EXPECT_GT(composite(5) / peak, 0.5);
}

// The constant input comes out unchanged at any instant between samples.
TEST(RrcInterpolator, ConstantInputAtEveryFraction) {
    float run[rrc_interpolator_taps];
    for (float &v : run) v = 0.75f;
    for (double fraction : {0.0, 0.1, 0.25, 0.5, 0.99})
        EXPECT_NEAR(rrc_interpolate(run, fraction), 0.75, 2e-3) << fraction;
}

TEST(Duolock, TakesTheThreePocsagRatesOnly) {
    const struct {
        int rate;
        bool taken;
        double period;
    } cases[] = {{512, true, 93.75}, {1200, true, 40.0}, {2400, true, 20.0},
                 {0, false, 40.0},   {600, false, 40.0}, {-1200, false, 40.0}};
    for (const auto &c : cases) {
        duolock_state state;
        EXPECT_EQ(duolock_set_rate(state, c.rate), c.taken) << c.rate;
        EXPECT_EQ(state.period, c.period) << c.rate;
    }
}
