// SPDX-License-Identifier: MIT
#include "rrc_interpolator.h"

#include <cmath>

namespace {

// The root-raised-cosine impulse response at t symbols from its centre.
double rrc_at(double roll_off, double t) {
    const double a = roll_off;
    if (std::fabs(t) < 1e-9) return 1.0 - a + 4.0 * a / M_PI;
    if (std::fabs(std::fabs(t) - 1.0 / (4.0 * a)) < 1e-9)
        return a / std::sqrt(2.0) *
               ((1.0 + 2.0 / M_PI) * std::sin(M_PI / (4.0 * a)) + (1.0 - 2.0 / M_PI) * std::cos(M_PI / (4.0 * a)));
    const double x = 4.0 * a * t;
    return (std::sin(M_PI * t * (1.0 - a)) + x * std::cos(M_PI * t * (1.0 + a))) / (M_PI * t * (1.0 - x * x));
}

rrc_interpolator make_table() {
    rrc_interpolator table{};
    const double span = rrc_interpolator_taps / 2.0;
    double sum = 0.0;
    for (int32_t i = 0; i < rrc_interpolator_taps; ++i)
        sum += rrc_at(rrc_interpolator_roll_off, (rrc_interpolator_before - i) / rrc_interpolator_samples_per_symbol);
    for (int32_t p = 0; p <= rrc_interpolator_phases; ++p) {
        const double fraction = static_cast<double>(p) / rrc_interpolator_phases;
        for (int32_t i = 0; i < rrc_interpolator_taps; ++i) {
            // Sample n - 39 + i lies t samples before the instant n + fraction.
            const double t = rrc_interpolator_before + fraction - i;
            const double v = std::fabs(t) > span ? 0.0
                                                 : rrc_at(rrc_interpolator_roll_off,
                                                          t / rrc_interpolator_samples_per_symbol);
            table.taps[p][i] = static_cast<float>(v / sum);
        }
    }
    return table;
}

}  // namespace

const rrc_interpolator &rrc_interpolator_table() {
    static const rrc_interpolator table = make_table();
    return table;
}

float rrc_interpolate(const float *run, double fraction) {
    const rrc_interpolator &table = rrc_interpolator_table();
    int32_t p = static_cast<int32_t>(fraction * rrc_interpolator_phases + 0.5);
    if (p < 0) p = 0;
    if (p > rrc_interpolator_phases) p = rrc_interpolator_phases;
    const float *taps = table.taps[p];
    // Four partial sums in a fixed order: the result is the same on every
    // machine, and the additions do not wait on one another.
    float s0 = 0.0f, s1 = 0.0f, s2 = 0.0f, s3 = 0.0f;
    for (int32_t i = 0; i < rrc_interpolator_taps; i += 4) {
        s0 = s0 + taps[i] * run[i];
        s1 = s1 + taps[i + 1] * run[i + 1];
        s2 = s2 + taps[i + 2] * run[i + 2];
        s3 = s3 + taps[i + 3] * run[i + 3];
    }
    return (s0 + s1) + (s2 + s3);
}
