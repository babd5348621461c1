// SPDX-License-Identifier: MIT
#include "duolock.h"

#include <cmath>

#include "clock_step.h"

namespace {

constexpr double max_rate_error = 0.005;  // of the period: 5000 ppm

struct loop_gains {
    double proportional, integral, level;
};
constexpr loop_gains acquiring = {0.2, 0.01, 1.0 / 8.0};
constexpr loop_gains tracking = {0.05, 0.001, 1.0 / 32.0};
constexpr double lock_below = 0.15, unlock_above = 0.3;

// The mean of the samples over [start, start + length) in sample periods,
// sample k covering [k - 0.5, k + 0.5).
double window_mean(const sample_history &h, double start, double length) {
    const double from = start + 0.5, to = start + length + 0.5;
    const int64_t first = static_cast<int64_t>(std::floor(from)), last = static_cast<int64_t>(std::floor(to));
    const float *run = history_run(h, first);
    const int64_t count = last - first;
    if (count <= 0) return run[0];
    double sum = run[0] * (static_cast<double>(first + 1) - from);
    for (int64_t k = 1; k < count; ++k) sum += run[k];
    sum += run[count] * (to - static_cast<double>(last));
    return sum / length;
}

bool loop_finite(const duolock_loop &l) {
    return std::isfinite(l.fraction) && std::isfinite(l.rate_error) && std::isfinite(l.previous_value) &&
           std::isfinite(l.high) && std::isfinite(l.low) && std::isfinite(l.distance) && std::isfinite(l.mean) &&
           std::isfinite(l.square);
}

// The running mean and mean square of the bit values (quick until locked,
// so that a transmission after a burst of strong interference is measured
// within the preamble); levels off the
// running estimate (the half span by a factor of two, or the centre by
// half the half span) are replaced by it, as are the levels of a loop not
// locked.
void check_levels(duolock_loop &l, double value) {
    const double a = l.bits < 16 ? 1.0 / 4.0 : l.locked ? 1.0 / 32.0 : 1.0 / 8.0;
    l.mean += a * (value - l.mean);
    l.square += a * (value * value - l.square);
    const double variance = l.square - l.mean * l.mean;
    const double spread = std::sqrt(variance > 0.0 ? variance : 0.0);
    const double centre = (l.high + l.low) / 2.0, half = (l.high - l.low) / 2.0;
    if (!l.locked || half < 0.5 * spread || half > 2.0 * spread || std::fabs(centre - l.mean) > 0.5 * spread) {
        l.high = l.mean + spread;
        l.low = l.mean - spread;
    }
}

uint8_t take_bit(duolock_loop &l, const sample_history &h, double period) {
    // Times relative to the instant stay small, so the windows are placed
    // exactly whatever the sample number.
    const double base = static_cast<double>(l.instant);
    const double value = window_mean(h, base + (l.fraction - period / 2.0), period);
    const double boundary = window_mean(h, base + (l.fraction - period), period);

    check_levels(l, value);
    const double centre = (l.high + l.low) / 2.0;
    double half = (l.high - l.low) / 2.0;
    if (half < 1e-12) half = 1e-12;
    const bool above = value > centre;
    const double miss = (std::fabs(value - centre) - half) / half;
    l.distance += (1.0 / 16.0) * ((miss * miss < 1.0 ? miss * miss : 1.0) - l.distance);
    if (l.locked && l.distance > unlock_above) l.locked = false;
    if (!l.locked && l.distance < lock_below && l.bits >= 16) l.locked = true;
    const loop_gains &g = l.locked ? tracking : acquiring;

    // Gardner: across a change of level the boundary window holds the
    // centre level at the right instant; a late instant takes more of the
    // new bit into it.
    double late = (boundary - centre) * (value - l.previous_value) / (4.0 * half * half) * period;
    if (late > period / 4.0) late = period / 4.0;
    if (late < -period / 4.0) late = -period / 4.0;
    if (l.bits < 1) late = 0.0;

    if (above)
        l.high += g.level * (value - l.high);
    else
        l.low += g.level * (value - l.low);

    l.rate_error -= g.integral * late / period;
    if (l.rate_error > max_rate_error) l.rate_error = max_rate_error;
    if (l.rate_error < -max_rate_error) l.rate_error = -max_rate_error;
    const double step = period * (1.0 + l.rate_error) - g.proportional * late;

    l.previous_value = value;
    if (l.bits < 1000) ++l.bits;
    advance_clock(l.instant, l.fraction, step, period);
    return above ? 1 : 0;
}

}  // namespace

bool duolock_set_rate(duolock_state &state, int rate) {
    if (rate != 512 && rate != 1200 && rate != 2400) return false;
    state.period = 48000.0 / rate;
    return true;
}

int32_t duolock_block(duolock_state &state, const float *block, int32_t count, uint8_t *bits) {
    int32_t produced = 0;
    duolock_loop &l = state.loop;
    for (int32_t i = 0; i < count; ++i) {
        history_push(state.samples, block[i], state.invert);
        // The bit window ends half a period after the instant; one more
        // sample for its weighted edge.
        while (static_cast<double>(l.instant) + state.period / 2.0 + 2.0 < static_cast<double>(state.samples.received) &&
               produced < duolock_max_bits) {
            bits[produced++] = take_bit(l, state.samples, state.period);
            if (!loop_finite(l)) {
                const int64_t at = l.instant;
                l = duolock_loop{};
                l.instant = at;
            }
        }
    }
    return produced;
}
