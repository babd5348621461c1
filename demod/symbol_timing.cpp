#include "symbol_timing.h"

#include <limits>

double timing_variance(const float *phase_buffer, int32_t window_length, int32_t j) {
    float sum = 0.0f;
    for (int32_t m = 0; m < timing_window_count; ++m) sum += phase_buffer[j + m * window_length];
    const float mean = sum / 100.0f;
    double squares = 0.0;
    for (int32_t m = 0; m < timing_window_count; ++m) {
        const double deviation = static_cast<double>(mean) - static_cast<double>(phase_buffer[j + m * window_length]);
        squares += deviation * deviation;
    }
    return squares / 100.0;
}

int32_t timing_correction(const float *phase_buffer, int32_t window_length) {
    int32_t best = 0;
    double best_variance = std::numeric_limits<double>::infinity();
    for (int32_t j = 0; j < window_length; ++j) {
        const double variance = timing_variance(phase_buffer, window_length, j);
        if (variance < best_variance) {
            best = j;
            best_variance = variance;
        }
    }
    if (!(best_variance > 0.0 && best_variance <= timing_variance_limit)) return 0;
    if (best >= 1 && best <= 4) return 1;
    if (best >= 5 && best <= 8) return -1;
    return 0;
}
