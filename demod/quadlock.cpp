// SPDX-License-Identifier: MIT
#include "quadlock.h"

#include <cmath>

#include "clock_step.h"
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
// acquisition loop and the narrow tracking loop. The acquisition loop does
// not integrate: its timing errors, taken from decisions that are still
// often wrong, would throw the rate about, while its proportional path
// alone follows 1000 ppm (0.01 samples per symbol) within 0.05 samples.
struct loop_gains {
    double proportional, integral, level;
};
constexpr loop_gains acquiring = {0.2, 0.0, 1.0 / 8.0};
constexpr loop_gains tracking = {0.04, 0.0006, 1.0 / 32.0};

// Mean square distance from the nearest level, in units of the outer level
// squared, below which the loop may lock (and narrow; see update_lock) and
// above which it unlocks and widens again. Values spread evenly between the
// levels give 1/27; noise alone, with levels fitted to it, some 0.03 to 0.05,
// which is why locking also asks for a contrast between instants.
constexpr double lock_below = 0.03, unlock_above = 0.05;

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
    bool finite = std::isfinite(l.fraction) && std::isfinite(l.rate_error) && std::isfinite(l.previous_value) &&
                  std::isfinite(l.dc) && std::isfinite(l.outer) && std::isfinite(l.mean) && std::isfinite(l.square) &&
                  std::isfinite(l.distance);
    for (int32_t c = 0; c < quadlock_search_instants; ++c)
        finite = finite && std::isfinite(l.search_dc[c]) && std::isfinite(l.search_outer[c]) &&
                 std::isfinite(l.search_distance[c]);
    return finite;
}

// Starts the loop afresh at the given instant, keeping nothing learnt.
void reset_loop(quadlock_loop &l, int64_t instant) {
    l = quadlock_loop{};
    l.instant = instant;
}

// The running mean and mean square of the filter output, and the outer
// level they give for four equally likely levels +-1 and +-1/3, whose mean
// square is 5/9 of the outer level squared.
double running_outer(quadlock_loop &l, double value) {
    // While acquiring, the mean square follows quicker than the mean, so
    // that a signal much weaker than what came before (noise, interference)
    // is measured within some 20 symbols; the mean stays slow, four-level
    // data being far from balanced over a few symbols. Once locked both are
    // slow: a burst of many inner or outer symbols (a DMR sync, a run of
    // idle data) must not pass for a change of level.
    const double a = l.symbols < 16 ? 1.0 / 4.0 : 1.0 / 32.0;
    const double b = l.symbols < 16 ? 1.0 / 4.0 : l.locked ? 1.0 / 32.0 : 1.0 / 8.0;
    l.mean += a * (value - l.mean);
    l.square += b * (value * value - l.square);
    const double variance = l.square - l.mean * l.mean;
    const double outer = std::sqrt(variance > 0.0 ? variance * 9.0 / 5.0 : 0.0);
    return outer > 1e-12 ? outer : 1e-12;
}

// Tracked levels far off the running estimate, which the decided symbols
// would take long to pull back (an outer level off by a factor of two, or
// a DC offset off by half the outer level), are replaced by it.
// True if it replaced them.
bool check_levels(double &dc, double &outer, double mean, double estimate) {
    if (outer < 0.5 * estimate || outer > 2.0 * estimate || std::fabs(dc - mean) > 0.5 * estimate ||
        !(outer > 1e-12)) {
        dc = mean;
        outer = estimate;
        return true;
    }
    return false;
}

// Least-mean-squares step of a DC offset and outer level towards the level
// decided for value; returns the square distance of the value from that
// level in units of the outer level squared, at most 1, so that one wild
// value (a burst of noise) weighs no more than a value far outside the
// levels.
double track_levels(double &dc, double &outer, double value, double step) {
    const double u = (value - dc) / outer;
    const double level = decide(u);
    const double error = value - dc - outer * level;
    dc += step * error;
    outer += step * (9.0 / 5.0) * error * level;
    if (outer < 1e-12) outer = 1e-12;
    const double miss = (u - level) * (u - level);
    return miss < 1.0 ? miss : 1.0;
}

// The acquisition's search: the filter at the candidate instants on a fixed
// grid of every second sample (candidate c at the samples 10 m + 2 c
// nearest the loop's instant), each with levels of its own and its running
// distance from them. Moves the loop's instant to the best candidate, with
// its levels, when that one is clearly closer to its levels than the
// loop's own instant; true if it did.
bool search_instants(quadlock_loop &l, const sample_history &h, double estimate) {
    const double now = static_cast<double>(l.instant) + l.fraction;
    int64_t times[quadlock_search_instants];
    int32_t best = 0;
    for (int32_t c = 0; c < quadlock_search_instants; ++c) {
        const int64_t offset = 2 * c;
        times[c] = 10 * static_cast<int64_t>(std::floor((now - static_cast<double>(offset)) / 10.0 + 0.5)) + offset;
        const double value = rrc_interpolate(history_run(h, times[c] - rrc_interpolator_before), 0.0);
        if (l.acquiring_symbols == 0) {
            l.search_dc[c] = l.dc;
            l.search_outer[c] = l.outer;
            l.search_distance[c] = 0.05;
        }
        check_levels(l.search_dc[c], l.search_outer[c], l.mean, estimate);
        const double miss = track_levels(l.search_dc[c], l.search_outer[c], value, acquiring.level);
        l.search_distance[c] += (1.0 / 8.0) * (miss - l.search_distance[c]);
        if (l.search_distance[c] < l.search_distance[best]) best = c;
    }
    if (l.search_hold > 0) --l.search_hold;
    if (l.acquiring_symbols < 8 || l.search_hold > 0 || !(l.search_distance[best] < 0.5 * l.distance)) return false;
    l.instant = times[best];
    l.fraction = 0.0;
    l.dc = l.search_dc[best];
    l.outer = l.search_outer[best];
    l.distance = l.search_distance[best];
    l.search_hold = 8;
    return true;
}

// The largest running distance of the candidate instants.
double widest_search_distance(const quadlock_loop &l) {
    double widest = 0.0;
    for (int32_t c = 0; c < quadlock_search_instants; ++c)
        if (l.search_distance[c] > widest) widest = l.search_distance[c];
    return widest;
}

// Moves the lock state on from the running distance. The loop locks when
// its values lie close to the levels and clearly closer than those of the
// worst candidate instant (noise lies about as close at every instant);
// a loop that loses lock starts its search afresh.
void unlock(quadlock_loop &l) {
    l.locked = false;
    l.acquiring_symbols = 0;
    l.search_hold = 0;
}

void update_lock(quadlock_loop &l) {
    if (l.locked && l.distance > unlock_above) {
        unlock(l);
        return;
    }
    if (!l.locked && l.acquiring_symbols >= 16 && l.distance < lock_below &&
        l.distance < 0.6 * widest_search_distance(l))
        l.locked = true;
    if (!l.locked && l.acquiring_symbols < 1000) ++l.acquiring_symbols;
}

// The timing error of the instant in samples (positive: late), by Mueller
// and Mueller on this and the previous symbol.
double timing_error(const quadlock_loop &l, double value, double level, double dc) {
    const double detector = (l.previous_level * (value - dc) - level * (l.previous_value - dc)) / l.outer;
    double late = -detector / detector_slope * nominal_period;
    if (late > 3.0) late = 3.0;
    if (late < -3.0) late = -3.0;
    return late;
}

// One symbol: the filter output at the instant, its decision, the level
// and timing updates, and the next instant. Returns the symbol byte.
uint8_t take_symbol(quadlock_loop &l, const sample_history &h) {
    double value = rrc_interpolate(history_run(h, l.instant - rrc_interpolator_before), l.fraction);
    const double estimate = running_outer(l, value);
    // Levels that were far off leave no lock to keep: the instant was
    // found on them.
    if (check_levels(l.dc, l.outer, l.mean, estimate) && l.locked) unlock(l);
    bool jumped = false;
    if (!l.locked && search_instants(l, h, estimate)) {
        jumped = true;
        value = rrc_interpolate(history_run(h, l.instant - rrc_interpolator_before), l.fraction);
    }
    const double level = decide((value - l.dc) / l.outer);
    const double dc = l.dc;
    const loop_gains &g = l.locked ? tracking : acquiring;
    const double miss = track_levels(l.dc, l.outer, value, g.level);
    l.distance += (1.0 / 16.0) * (miss - l.distance);
    update_lock(l);

    const double late = jumped || l.symbols < 2 ? 0.0 : timing_error(l, value, level, dc);
    l.rate_error -= g.integral * late;
    if (l.rate_error > max_rate_error) l.rate_error = max_rate_error;
    if (l.rate_error < -max_rate_error) l.rate_error = -max_rate_error;
    const double step = nominal_period + l.rate_error - g.proportional * late;

    l.previous_value = value;
    l.previous_level = level;
    if (l.symbols < 1000) ++l.symbols;
    advance_clock(l.instant, l.fraction, step, nominal_period);
    return symbol_byte(level);
}

}  // namespace

int32_t quadlock_block(quadlock_state &state, const float *block, int32_t count, uint8_t *symbols) {
    int32_t produced = 0;
    for (int32_t i = 0; i < count; ++i) {
        history_push(state.samples, block[i], state.invert);
        // The filter span of the latest candidate instant ends 45 samples
        // after the instant's sample.
        while (state.loop.instant + 46 < state.samples.received && produced < quadlock_max_symbols) {
            symbols[produced++] = take_symbol(state.loop, state.samples);
            if (!loop_finite(state.loop)) reset_loop(state.loop, state.loop.instant);
        }
    }
    return produced;
}
