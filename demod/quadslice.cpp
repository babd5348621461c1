// SPDX-License-Identifier: MIT
#include "quadslice.h"

#include "symbol_timing.h"

uint8_t slice_symbol(float v, const level_thresholds &thresholds) {
    if (v > thresholds.centre) return v > thresholds.upper ? 1 : 0;
    return v < thresholds.lower ? 3 : 2;
}

namespace {

// Takes the symbol window at the read position and returns its byte.
uint8_t take_symbol(quadslice_state &state) {
    float *window = &state.phase_buffer[state.phase_pos];
    ring_copy(state.samples, 0, window, quadslice_window_length);
    int32_t next = ring_mod(state.samples.read_pos + quadslice_window_length, 1024);

    if (state.phase_pos == quadslice_window_length * 99) {
        next = ring_mod(next + timing_correction(state.phase_buffer, quadslice_window_length), 1024);
        state.phase_pos = 0;
    } else {
        state.phase_pos += quadslice_window_length;
    }

    // The value is the mean of the eight middle samples; the two next to the
    // window edges may belong to the neighbouring symbols.
    float sum = 0.0f;
    for (int32_t k = 1; k <= 8; ++k) sum += window[k];
    const float value = sum * 0.125f;

    record_level(state.history, value);
    update_thresholds(state.history, state.thresholds);
    state.samples.read_pos = next;
    return slice_symbol(value, state.thresholds);
}

}  // namespace

int32_t quadslice_block(quadslice_state &state, const float *block, int32_t count, uint8_t *symbols) {
    ring_append(state.samples, block, count);
    int32_t produced = 0;
    while (ring_fill(state.samples) >= quadslice_min_fill) symbols[produced++] = take_symbol(state);
    return produced;
}
