// SPDX-License-Identifier: MIT
#include "symbol_timing.h"

#include <limits>

void timing_variances(const float *phase_buffer, int32_t window_length, double *variances) {
    // All positions are summed side by side, each in its own window order.
    float sums[timing_max_window_length] = {};
    for (int32_t m = 0; m < timing_window_count; ++m) {
        const float *window = phase_buffer + m * window_length;
        for (int32_t j = 0; j < window_length; ++j) sums[j] += window[j];
    }
    double means[timing_max_window_length];
    for (int32_t j = 0; j < window_length; ++j) {
        means[j] = static_cast<double>(sums[j] / 100.0f);
        variances[j] = 0.0;
    }
    for (int32_t m = 0; m < timing_window_count; ++m) {
        const float *window = phase_buffer + m * window_length;
        for (int32_t j = 0; j < window_length; ++j) {
            const double deviation = means[j] - static_cast<double>(window[j]);
            variances[j] += deviation * deviation;
        }
    }
    for (int32_t j = 0; j < window_length; ++j) variances[j] /= 100.0;
}

int32_t timing_correction(const float *phase_buffer, int32_t window_length) {
    int32_t best = 0;
    double best_variance = std::numeric_limits<double>::infinity();
    double variances[timing_max_window_length];
    timing_variances(phase_buffer, window_length, variances);
    for (int32_t j = 0; j < window_length; ++j) {
        if (variances[j] < best_variance) {
            best = j;
            best_variance = variances[j];
        }
    }
    if (!(best_variance > 0.0 && best_variance <= timing_variance_limit)) return 0;
    if (best >= 1 && best <= 4) return 1;
    if (best >= 5 && best <= 8) return -1;
    return 0;
}
