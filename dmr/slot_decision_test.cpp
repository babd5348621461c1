// SPDX-License-Identifier: MIT
// Slot assignment from the CACH: TACT correction and the confidence rule.

#include "slot_decision.h"

#include <gtest/gtest.h>

#include <vector>

#include "dmr_encode.h"

namespace {

using dmr_encode::build_cach;
using dmr_encode::tact_word;

slot_decision decide(tessavox_state &state, int tc, int busy = 1, int lcss = 0, int wrong_tact_bit = -1) {
    uint8_t cach[12];
    build_cach(tact_word(busy, tc, lcss), 0x1ABCD, cach);
    if (wrong_tact_bit >= 0) {
        int b = dmr_encode::tact_cach_bits[wrong_tact_bit];
        cach[b / 2] ^= static_cast<uint8_t>(b % 2 ? 1 : 2);
    }
    return decide_slot(state, cach);
}

TEST(decide_slot, single_wrong_tact_bit_yields_the_sent_fields) {
    for (int busy = 0; busy < 2; ++busy)
        for (int tc = 0; tc < 2; ++tc)
            for (int lcss = 0; lcss < 4; ++lcss)
                for (int wrong = -1; wrong < 7; ++wrong) {
                    tessavox_state state;
                    slot_decision d = decide(state, tc, busy, lcss, wrong);
                    EXPECT_EQ(d.slot, tc);
                    EXPECT_EQ(d.busy, busy);
                    EXPECT_EQ(d.lcss, lcss) << "wrong bit " << wrong;
                }
}

struct tc_case {
    std::vector<int> tc;
    std::vector<int> slots;
    int confidence;
};

std::vector<int> alternating(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(i % 2);
    return v;
}

class tc_sequence : public ::testing::TestWithParam<tc_case> {};

TEST_P(tc_sequence, assigns_slots_by_confidence) {
    const tc_case &c = GetParam();
    tessavox_state state;
    std::vector<int> slots;
    for (int tc : c.tc) slots.push_back(decide(state, tc).slot);
    EXPECT_EQ(slots, c.slots);
    EXPECT_EQ(state.slot_confidence, c.confidence);
    EXPECT_EQ(state.last_slot, c.slots.back());
}

INSTANTIATE_TEST_SUITE_P(dmr, tc_sequence,
                         ::testing::Values(
                             // Five bursts in a row followed the alternation: the seventh goes by it.
                             tc_case{{0, 1, 0, 1, 0, 1, 1}, {0, 1, 0, 1, 0, 1, 0}, 5},
                             // Only four: the disagreeing TC is believed and the count restarts.
                             tc_case{{0, 1, 0, 1, 0, 0}, {0, 1, 0, 1, 0, 0}, 0}, tc_case{{0, 1, 1}, {0, 1, 1}, 0},
                             // Once trusted, every disagreement is overruled and leaves the count;
                             // an agreeing TC among them still raises it.
                             tc_case{{1, 0, 1, 0, 1, 0, 0, 0, 0}, {1, 0, 1, 0, 1, 0, 1, 0, 1}, 6},
                             // The count stops at 100.
                             tc_case{alternating(120), alternating(120), 100}));

TEST(decide_slot, after_lost_sync_the_first_burst_takes_its_own_tc) {
    tessavox_state state;
    for (int i = 0; i < 8; ++i) decide(state, i % 2);
    // The lost-sync reset of the slot assignment.
    state.last_slot = -1;
    state.slot_confidence = 0;
    EXPECT_EQ(decide(state, 1).slot, 1);
    EXPECT_EQ(state.slot_confidence, 0);
}

}  // namespace
