// SPDX-License-Identifier: MIT
#include "duoslice.h"

#include "symbol_timing.h"

namespace {

// Takes the bit window at the read position and returns its byte.
uint8_t take_bit(duoslice_state &state) {
    float *window = &state.phase_buffer[state.phase_pos];
    ring_copy(state.samples, 0, window, duoslice_window_length);
    int32_t next = ring_mod(state.samples.read_pos + duoslice_window_length, 1024);

    if (state.phase_pos == duoslice_window_length * 99) {
        next = ring_mod(next + timing_correction(state.phase_buffer, duoslice_window_length), 1024);
        state.phase_pos = 0;
    } else {
        state.phase_pos += duoslice_window_length;
    }

    // The value is formed from window positions 1 to 8, the ones the timing
    // recovery keeps clear of the bit change; the divisor does not change
    // the order of the values and so never the decision.
    float sum = 0.0f;
    for (int32_t k = 1; k <= 8; ++k) sum += window[k];
    const float value = sum / 38.0f;

    record_level(state.history, value);
    update_thresholds(state.history, state.thresholds);
    state.samples.read_pos = next;
    const bool high = value > state.thresholds.centre;
    return high != state.invert ? 1 : 0;
}

}  // namespace

int32_t duoslice_block(duoslice_state &state, const float *block, int32_t count, uint8_t *bits) {
    ring_append(state.samples, block, count);
    int32_t produced = 0;
    while (ring_fill(state.samples) >= duoslice_min_fill) bits[produced++] = take_bit(state);
    return produced;
}
