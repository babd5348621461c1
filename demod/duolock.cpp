#include "duolock.h"

#include <cmath>

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
           std::isfinite(l.high) && std::isfinite(l.low) && std::isfinite(l.distance);
}

uint8_t take_bit(duolock_loop &l, const sample_history &h, double period) {
    // Times relative to the instant stay small, so the windows are placed
    // exactly whatever the sample number.
    const double base = static_cast<double>(l.instant);
    const double value = window_mean(h, base + (l.fraction - period / 2.0), period);
    const double boundary = window_mean(h, base + (l.fraction - period), period);

    const double centre = (l.high + l.low) / 2.0;
    double half = (l.high - l.low) / 2.0;
    if (half < 1e-12) half = 1e-12;
    const bool above = value > centre;
    const double miss = (std::fabs(value - centre) - half) / half;
    l.distance += (1.0 / 16.0) * (miss * miss - l.distance);
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
    // A level never seen (a run of one value at the start) is pulled
    // towards the other, so that the threshold finds the signal.
    if (l.high < l.low) l.high = l.low = (l.high + l.low) / 2.0;

    l.rate_error -= g.integral * late / period;
    if (l.rate_error > max_rate_error) l.rate_error = max_rate_error;
    if (l.rate_error < -max_rate_error) l.rate_error = -max_rate_error;
    const double step = period * (1.0 + l.rate_error) - g.proportional * late;

    l.previous_value = value;
    if (l.bits < 1000) ++l.bits;
    double next = l.fraction + step;
    if (!std::isfinite(next)) next = l.fraction + period;
    const double whole = std::floor(next);
    l.instant += static_cast<int64_t>(whole);
    l.fraction = next - whole;
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
