// SPDX-License-Identifier: MIT
#include "activity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double rate = 48000;

// A channel's baseband: complex noise of the given power (dB full scale)
// with carriers of a power from..to seconds; a burst pattern may key the
// carrier on and off (on_ms of every period_ms), as a DMR radio in one slot.
struct carrier {
    double from, to, db;
    double on_ms = 0, period_ms = 0;
};

std::vector<float> channel(double seconds, double noise_db, const std::vector<carrier> &carriers, unsigned seed = 1) {
    size_t pairs = static_cast<size_t>(seconds * rate);
    std::vector<float> iq(2 * pairs);
    std::mt19937 gen(seed);
    std::normal_distribution<double> normal(0.0, std::sqrt(std::pow(10.0, noise_db / 10) / 2));
    for (size_t n = 0; n < pairs; ++n) {
        double t = static_cast<double>(n) / rate;
        double i = noise_db > -250 ? normal(gen) : 0, q = noise_db > -250 ? normal(gen) : 0;
        for (const carrier &c : carriers) {
            if (t < c.from || t >= c.to) continue;
            if (c.period_ms > 0 && std::fmod((t - c.from) * 1000, c.period_ms) >= c.on_ms) continue;
            double a = std::sqrt(std::pow(10.0, c.db / 10));
            double phase = 2 * std::numbers::pi * 1200 * t + 0.8 * std::sin(2 * std::numbers::pi * 300 * t);
            i += a * std::cos(phase);
            q += a * std::sin(phase);
        }
        iq[2 * n] = static_cast<float>(i);
        iq[2 * n + 1] = static_cast<float>(q);
    }
    return iq;
}

// The detector's state after every 5 ms, fed in blocks of `block` pairs.
struct run_result {
    std::vector<bool> states;
    std::vector<long long> opened;  // opened_at() at each opening
    std::vector<long long> closed;
};

run_result run(const std::vector<float> &iq, size_t block, double band_floor = NAN) {
    activity_detector d;
    d.set_band_floor(band_floor);
    run_result r;
    size_t pairs = iq.size() / 2;
    bool was = false;
    std::vector<bool> per_pair;
    for (size_t at = 0; at < pairs; at += block) {
        size_t n = std::min(block, pairs - at);
        bool now = d.feed(iq.data() + 2 * at, n);
        if (now && !was) r.opened.push_back(d.opened_at());
        if (!now && was) r.closed.push_back(d.closed_at());
        was = now;
        per_pair.insert(per_pair.end(), n, now);
    }
    for (size_t n = 239; n < per_pair.size(); n += 240) r.states.push_back(per_pair[n]);
    return r;
}

}  // namespace

TEST(Activity, NoiseAloneNeverOpens) {
    for (double noise : {-60.0, -30.0, -10.0}) {
        run_result r = run(channel(20, noise, {}, 3), 4800);
        EXPECT_TRUE(r.opened.empty()) << noise << " dB";
    }
    // Digital silence, and non-finite samples, neither.
    std::vector<float> odd(96000, 0.0f);
    for (size_t n = 0; n < odd.size(); n += 7) odd[n] = NAN;
    for (size_t n = 3; n < odd.size(); n += 11) odd[n] = INFINITY;
    EXPECT_TRUE(run(odd, 1000).opened.empty());
}

TEST(Activity, OpensWithinTwentyMillisecondsAndClosesAfterTheHang) {
    // Carriers 6, 10 and 30 dB above the noise, from 2.0 s to 3.5 s.
    for (double snr : {6.0, 10.0, 30.0}) {
        std::vector<float> iq = channel(6, -40, {{2.0, 3.5, -40 + snr}});
        run_result r = run(iq, 240);
        ASSERT_EQ(r.opened.size(), 1u) << snr;
        ASSERT_EQ(r.closed.size(), 1u) << snr;
        // opened_at is the start of the first loud frame: at or just before
        // the carrier's rise, never after it.
        EXPECT_LE(r.opened[0], 96000) << snr;
        EXPECT_GE(r.opened[0], 96000 - 240) << snr;
        // Open 20 ms after the rise at the latest...
        EXPECT_FALSE(r.states[2.0 / 0.005 - 2]);
        EXPECT_TRUE(r.states[2.02 / 0.005]) << snr;
        // ...through the carrier, and for 1 s of hang after it.
        for (size_t f = 2.02 / 0.005; f < 4.49 / 0.005; ++f) ASSERT_TRUE(r.states[f]) << snr << " frame " << f;
        EXPECT_FALSE(r.states[4.52 / 0.005]) << snr;
        EXPECT_NEAR(static_cast<double>(r.closed[0]) / rate, 4.5, 0.01) << snr;
    }
    // A carrier 1 dB below the noise stays below the opening level.
    EXPECT_TRUE(run(channel(4, -40, {{1.0, 3.0, -41}}), 1000).opened.empty());
}

TEST(Activity, BurstsOfOneTdmaSlotAndShortPausesStayOneOpening) {
    // A DMR radio keys 27.5 ms of every 60 ms; a conversation pauses 0.6 s.
    std::vector<float> iq = channel(8, -40, {{1.0, 3.0, -20, 27.5, 60}, {3.6, 5.0, -20, 27.5, 60}});
    run_result r = run(iq, 333);
    ASSERT_EQ(r.opened.size(), 1u);
    ASSERT_EQ(r.closed.size(), 1u);
    EXPECT_NEAR(static_cast<double>(r.closed[0]) / rate, 6.0, 0.04);
    // A pause longer than the hang: two openings.
    iq = channel(8, -40, {{1.0, 2.0, -20}, {4.0, 5.0, -20}});
    r = run(iq, 333);
    ASSERT_EQ(r.opened.size(), 2u);
    EXPECT_NEAR(static_cast<double>(r.opened[1]) / rate, 4.0, 0.006);
}

TEST(Activity, SameDecisionsWhateverTheBlockSizes) {
    std::vector<float> iq = channel(5, -35, {{0.5, 1.2, -25}, {2.5, 2.6, -30}, {3.0, 4.0, -15, 27.5, 60}}, 5);
    size_t pairs = iq.size() / 2;
    // The reference: one pair at a time, the state after every pair.
    struct state {
        bool active;
        long long opened, closed;
        bool operator==(const state &) const = default;
    };
    std::vector<state> after(pairs);
    activity_detector one;
    for (size_t n = 0; n < pairs; ++n) {
        one.feed(iq.data() + 2 * n, 1);
        after[n] = {one.active(), one.opened_at(), one.closed_at()};
    }
    EXPECT_NE(after.back().opened, -1);
    std::mt19937 gen(11);
    for (size_t largest : {7, 240, 5000, 100000}) {
        std::uniform_int_distribution<size_t> size(1, largest);
        activity_detector d;
        for (size_t at = 0; at < pairs;) {
            size_t n = std::min(size(gen), pairs - at);
            bool now = d.feed(iq.data() + 2 * at, n);
            at += n;
            ASSERT_EQ((state{now, d.opened_at(), d.closed_at()}), after[at - 1]) << "blocks up to " << largest;
        }
    }
    EXPECT_EQ(run(iq, 240).opened.size(), 2u);
}

// A channel keyed from the stream's first sample learns its floor on the
// carrier itself; the band's floor lets it open at once.
TEST(Activity, BusyFromTheStartOpensAgainstTheBandFloor) {
    std::vector<float> iq = channel(4, -40, {{0.0, 2.0, -20}});
    run_result alone = run(iq, 4800);
    EXPECT_TRUE(alone.opened.empty() || alone.opened[0] > 48000);
    run_result banded = run(iq, 4800, -40);
    ASSERT_FALSE(banded.opened.empty());
    EXPECT_EQ(banded.opened[0], 0);
    ASSERT_EQ(banded.closed.size(), 1u);
    EXPECT_NEAR(static_cast<double>(banded.closed[0]) / rate, 3.0, 0.01);
    // A floor learnt on zeros is held up to the band's: noise after a
    // silent start does not keep the channel open.
    std::vector<float> quiet_start(2 * 48000, 0.0f);
    std::vector<float> noise = channel(10, -40, {}, 8);
    quiet_start.insert(quiet_start.end(), noise.begin(), noise.end());
    run_result r = run(quiet_start, 4800, -40);
    EXPECT_TRUE(r.opened.empty());
}

TEST(Activity, FloorFollowsTheReceiversGain) {
    // The noise comes up 10 dB at 2 s (a gain change) and stays: the channel
    // opens, closes once the floor has caught up (within its 10 s window and
    // the hang), and opens again for a real carrier after.
    std::vector<float> low = channel(2, -50, {}, 2);
    std::vector<float> high = channel(20, -40, {{16.0, 17.0, -25}}, 4);
    low.insert(low.end(), high.begin(), high.end());
    run_result r = run(low, 240);
    ASSERT_EQ(r.opened.size(), 2u);
    ASSERT_EQ(r.closed.size(), 2u);
    EXPECT_NEAR(static_cast<double>(r.opened[0]) / rate, 2.0, 0.01);
    EXPECT_LT(static_cast<double>(r.closed[0]) / rate, 13.5);
    EXPECT_NEAR(static_cast<double>(r.opened[1]) / rate, 18.0, 0.01);

    std::vector<double> floors = {-40, -41, -39.5, -10, -40.5};
    EXPECT_DOUBLE_EQ(band_floor_db(floors), -40);
    EXPECT_TRUE(std::isnan(band_floor_db({})));
}
