// SPDX-License-Identifier: MIT
#include "level_tracker.h"

#include <gtest/gtest.h>

#include <limits>

TEST(LevelTracker, ExtremesFromEverySlotOfTheHistory) {
    // One maximum and one minimum in every pair of slots, the rest of the
    // history between them, and NaN values that must never become extremes.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int32_t p = 0; p < level_history_length; ++p) {
        level_history history;
        for (int32_t i = 0; i < level_history_length; ++i) history.values[i] = i % 3 ? 0.5f : nan;
        history.values[p] = 8.0f;
        history.values[(p + 37) % level_history_length] = -8.0f;
        level_thresholds t;
        update_thresholds(history, t);
        EXPECT_EQ(t.maximum, 8.0f) << "slot " << p;
        EXPECT_EQ(t.minimum, -8.0f) << "slot " << p;
        EXPECT_EQ(t.centre, 0.0f);
        EXPECT_EQ(t.upper, 5.0f);
        EXPECT_EQ(t.lower, -5.0f);
    }
}

TEST(LevelTracker, HistoryWithoutOrdinaryValues) {
    level_history history;
    for (float &v : history.values) v = std::numeric_limits<float>::quiet_NaN();
    level_thresholds t;
    update_thresholds(history, t);
    EXPECT_EQ(t.minimum, std::numeric_limits<float>::max());
    EXPECT_EQ(t.maximum, std::numeric_limits<float>::lowest());
    EXPECT_EQ(t.centre, 0.0f);
}

TEST(LevelTracker, RecordOverwritesTheOldestSlot) {
    level_history history;
    for (int32_t i = 0; i < level_history_length + 3; ++i) record_level(history, static_cast<float>(i));
    EXPECT_EQ(history.index, 3);
    EXPECT_EQ(history.values[0], 100.0f);
    EXPECT_EQ(history.values[2], 102.0f);
    EXPECT_EQ(history.values[3], 3.0f);
    EXPECT_EQ(history.values[99], 99.0f);
}
