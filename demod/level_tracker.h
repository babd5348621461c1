// SPDX-License-Identifier: MIT
#pragma once
// Signal level tracking shared by the two demodulators: the values of the
// last 100 symbols (or bits) and the decision thresholds derived from their
// extremes, so that the slicer follows the received level and its DC offset.

#include <cstdint>

inline constexpr int32_t level_history_length = 100;

// The values of the last 100 symbols; index is the slot the next value
// overwrites (0..99). Slots not yet written hold 0.0 and count like any value.
struct level_history {
    float values[level_history_length] = {};
    int32_t index = 0;
};

// Decision levels of the slicer. The four-level slicer uses all of them; the
// two-level slicer uses the centre alone.
struct level_thresholds {
    float minimum = 0.0f;
    float maximum = 0.0f;
    float centre = 0.0f;
    float upper = 0.0f;  // between the +1 and +3 levels
    float lower = 0.0f;  // between the -1 and -3 levels
};

// Stores value in the slot of the value from 100 symbols before and moves the
// index on (99 wraps to 0).
void record_level(level_history &history, float value);

// Sets the thresholds from the history: the smallest and largest value (a NaN
// value never becomes either; with no ordinary value at all they stay at the
// largest and lowest finite float), their midpoint as the centre, and the
// outer thresholds at 62.5 % of the way from the centre to each extreme.
void update_thresholds(const level_history &history, level_thresholds &thresholds);
