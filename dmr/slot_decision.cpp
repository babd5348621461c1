// SPDX-License-Identifier: MIT
#include "slot_decision.h"

#include <algorithm>

#include "bits.h"
#include "hamming_7_4.h"

namespace {
constexpr int tact_cach_bits[7] = {0, 4, 8, 12, 14, 18, 22};
constexpr int confidence_limit = 100;
constexpr int confidence_trusted = 5;
}  // namespace

uint8_t tact_from_cach(const uint8_t cach_symbols[12]) {
    uint8_t bits[24];
    symbols_to_bits(cach_symbols, 12, bits);
    uint8_t tact = 0;
    for (int b : tact_cach_bits) tact = static_cast<uint8_t>((tact << 1) | bits[b]);
    return tact;
}

slot_decision decide_slot(tessavox_state &state, const uint8_t cach_symbols[12]) {
    uint8_t tact = tact_from_cach(cach_symbols);
    hamming_7_4_correct(tact);

    slot_decision d;
    d.busy = (tact >> 6) & 1;
    d.lcss = (tact >> 3) & 3;
    int tc = (tact >> 5) & 1;

    bool known = state.last_slot >= 0;
    int expected = known ? 1 - state.last_slot : -1;
    if (known && tc == expected) {
        d.slot = tc;
        state.slot_confidence = std::min(state.slot_confidence, confidence_limit - 1) + 1;
    } else if (state.slot_confidence < confidence_trusted || !known) {
        d.slot = tc;
        state.slot_confidence = 0;
    } else {
        d.slot = expected;
    }
    state.last_slot = d.slot;
    return d;
}
