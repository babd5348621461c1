// SPDX-License-Identifier: MIT
#include "level_tracker.h"

#include <limits>

void record_level(level_history &history, float value) {
    history.values[history.index] = value;
    history.index = history.index >= level_history_length - 1 ? 0 : history.index + 1;
}

namespace {

// Four lanes scan the history side by side (one vector instruction each on
// common hardware) and are merged at the end. The extremes of a set of values
// do not depend on the order of the scan: equal values are the same value,
// and the one difference, which of +0 and -0 is kept, never changes a
// threshold or a decision.
constexpr int32_t extreme_lanes = 4;
static_assert(level_history_length % extreme_lanes == 0);

void find_extremes(const float *values, float &minimum, float &maximum) {
    float lowest[extreme_lanes], highest[extreme_lanes];
    for (int32_t k = 0; k < extreme_lanes; ++k) {
        lowest[k] = std::numeric_limits<float>::max();
        highest[k] = std::numeric_limits<float>::lowest();
    }
    for (int32_t i = 0; i < level_history_length; i += extreme_lanes) {
        for (int32_t k = 0; k < extreme_lanes; ++k) {
            // Only a strictly smaller (larger) value replaces the extreme, so
            // a NaN is never taken.
            const float value = values[i + k];
            lowest[k] = value < lowest[k] ? value : lowest[k];
            highest[k] = value > highest[k] ? value : highest[k];
        }
    }
    minimum = lowest[0];
    maximum = highest[0];
    for (int32_t k = 1; k < extreme_lanes; ++k) {
        minimum = lowest[k] < minimum ? lowest[k] : minimum;
        maximum = highest[k] > maximum ? highest[k] : maximum;
    }
}

}  // namespace

void update_thresholds(const level_history &history, level_thresholds &thresholds) {
    float minimum, maximum;
    find_extremes(history.values, minimum, maximum);
    const float centre = (minimum + maximum) * 0.5f;
    // The differences in single precision; the scaling and the addition of
    // the centre in double precision, rounded once to single precision.
    const float above = maximum - centre;
    const float below = minimum - centre;
    thresholds.minimum = minimum;
    thresholds.maximum = maximum;
    thresholds.centre = centre;
    thresholds.upper = static_cast<float>(static_cast<double>(centre) + static_cast<double>(above) * 0.625);
    thresholds.lower = static_cast<float>(static_cast<double>(centre) + static_cast<double>(below) * 0.625);
}
