#include "quadlock.h"

#include <cmath>

#include "rrc_interpolator.h"

namespace {

constexpr double nominal_period = 10.0;  // samples per symbol
constexpr double max_rate_error = 0.05;  // samples per symbol: 5000 ppm
// Mueller and Mueller error per symbol of timing error, for the matched
// raised-cosine pulse of roll-off 0.2 and four equally likely levels:
// 2 (5/9) |p'(1)| with p'(1) = -0.96 per symbol.
constexpr double detector_slope = 1.07;

// Loop gains per symbol (proportional on the timing error in samples,
// integral on the rate), and the level tracking's step size, for the wide
// acquisition loop and the narrow tracking loop.
struct loop_gains {
    double proportional, integral, level;
};
constexpr loop_gains acquiring = {0.25, 0.012, 1.0 / 8.0};
constexpr loop_gains tracking = {0.04, 0.0006, 1.0 / 32.0};

// Mean square distance from the nearest level, in units of the outer level
// squared, below which the loop narrows and above which it widens again.
// Values spread evenly between the levels give 1/27.
constexpr double lock_below = 0.012, unlock_above = 0.022;

// The decision of a value relative to the DC offset, in units of the outer
// level: +1, +1/3, -1/3 or -1.
double decide(double u) {
    if (u > 2.0 / 3.0) return 1.0;
    if (u > 0.0) return 1.0 / 3.0;
    if (u > -2.0 / 3.0) return -1.0 / 3.0;
    return -1.0;
}

uint8_t symbol_byte(double level) {
    if (level > 0.5) return 1;
    if (level > 0.0) return 0;
    if (level > -0.5) return 2;
    return 3;
}

bool loop_finite(const quadlock_loop &l) {
    return std::isfinite(l.fraction) && std::isfinite(l.rate_error) && std::isfinite(l.previous_value) &&
           std::isfinite(l.dc) && std::isfinite(l.outer) && std::isfinite(l.mean) && std::isfinite(l.square) &&
           std::isfinite(l.distance);
}

// Starts the loop afresh at the given instant, keeping nothing learnt.
void reset_loop(quadlock_loop &l, int64_t instant) {
    l = quadlock_loop{};
    l.instant = instant;
}

// The level estimate from the running variance: for four equally likely
// levels +-1 and +-1/3 the mean square is 5/9 of the outer level squared.
// Replaces the tracked levels when they are far off: an outer level off by
// a factor of two, or a DC offset off by half the outer level, which the
// decided symbols would take long to pull back.
void check_levels(quadlock_loop &l, double value) {
    const double a = l.symbols < 16 ? 1.0 / 4.0 : 1.0 / 32.0;
    l.mean += a * (value - l.mean);
    l.square += a * (value * value - l.square);
    double variance = l.square - l.mean * l.mean;
    if (variance < 0.0) variance = 0.0;
    const double estimate = std::sqrt(variance * 9.0 / 5.0);
    const bool far_off = l.outer < 0.5 * estimate || l.outer > 2.0 * estimate || std::fabs(l.dc - l.mean) > 0.5 * estimate;
    if (far_off || l.outer <= 1e-12) {
        l.outer = estimate > 1e-12 ? estimate : 1e-12;
        l.dc = l.mean;
    }
}

// Least-mean-squares step of the DC offset and outer level towards the
// decided level.
void track_levels(quadlock_loop &l, double value, double level, double step) {
    const double error = value - l.dc - l.outer * level;
    l.dc += step * error;
    l.outer += step * (9.0 / 5.0) * error * level;
    if (l.outer < 1e-12) l.outer = 1e-12;
}

// One symbol: the filter output at the instant, its decision, the level
// and timing updates, and the next instant. Returns the symbol byte.
uint8_t take_symbol(quadlock_loop &l, const sample_history &h) {
    const float *run = history_run(h, l.instant - rrc_interpolator_before);
    const double value = rrc_interpolate(run, l.fraction);

    check_levels(l, value);
    const double level = decide((value - l.dc) / l.outer);
    const double miss = (value - l.dc) / l.outer - level;
    l.distance += (1.0 / 16.0) * (miss * miss - l.distance);
    if (l.locked && l.distance > unlock_above) l.locked = false;
    if (!l.locked && l.distance < lock_below && l.symbols >= 16) l.locked = true;
    const loop_gains &g = l.locked ? tracking : acquiring;
    track_levels(l, value, level, g.level);

    // Mueller and Mueller: a late instant gives a negative error.
    const double detector = (l.previous_level * (value - l.dc) - level * (l.previous_value - l.dc)) / l.outer;
    double late = -detector / detector_slope * nominal_period;
    if (late > 3.0) late = 3.0;
    if (late < -3.0) late = -3.0;
    if (l.symbols < 2) late = 0.0;
    l.rate_error -= g.integral * late;
    if (l.rate_error > max_rate_error) l.rate_error = max_rate_error;
    if (l.rate_error < -max_rate_error) l.rate_error = -max_rate_error;
    const double step = nominal_period + l.rate_error - g.proportional * late;

    l.previous_value = value;
    l.previous_level = level;
    if (l.symbols < 1000) ++l.symbols;
    double next = l.fraction + step;
    if (!std::isfinite(next)) next = l.fraction + nominal_period;
    const double whole = std::floor(next);
    l.instant += static_cast<int64_t>(whole);
    l.fraction = next - whole;
    return symbol_byte(level);
}

}  // namespace

int32_t quadlock_block(quadlock_state &state, const float *block, int32_t count, uint8_t *symbols) {
    int32_t produced = 0;
    for (int32_t i = 0; i < count; ++i) {
        history_push(state.samples, block[i], state.invert);
        // The instant's filter span ends 40 samples after its sample.
        while (state.loop.instant + 40 < state.samples.received && produced < quadlock_max_symbols) {
            symbols[produced++] = take_symbol(state.loop, state.samples);
            if (!loop_finite(state.loop)) reset_loop(state.loop, state.loop.instant);
        }
    }
    return produced;
}
