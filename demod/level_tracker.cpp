#include "level_tracker.h"

#include <limits>

void record_level(level_history &history, float value) {
    history.values[history.index] = value;
    history.index = history.index >= level_history_length - 1 ? 0 : history.index + 1;
}

void update_thresholds(const level_history &history, level_thresholds &thresholds) {
    float minimum = std::numeric_limits<float>::max();
    float maximum = std::numeric_limits<float>::lowest();
    for (float value : history.values) {
        // Only a strictly smaller (larger) value replaces the extreme, so a
        // NaN is never taken.
        minimum = value < minimum ? value : minimum;
        maximum = value > maximum ? value : maximum;
    }
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
