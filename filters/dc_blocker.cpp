// SPDX-License-Identifier: MIT
#include "dc_blocker.h"

#include <cmath>

#include "single_precision.h"

void dc_blocker_filter(dc_blocker_state &state, float *block, std::size_t count) {
    float previous_input = state.previous_input;
    float previous_output = state.previous_output;
    for (std::size_t i = 0; i < count; ++i) {
        // A sample glitch (NaN or infinity) from the front end counts as 0.
        const float x = std::isfinite(block[i]) ? block[i] : 0.0f;
        const float difference = x - previous_input;
        const float forward = difference * dc_blocker_gain;
        const float feedback = previous_output * dc_blocker_pole;
        float y = forward + feedback;
        // Samples near the float limit can overflow the difference or the sum;
        // an infinite output would turn into NaN for good, so the filter
        // starts afresh from this sample with a silent output.
        if (!std::isfinite(y)) y = 0.0f;
        previous_input = x;
        previous_output = y;
        block[i] = y;
    }
    state.previous_input = previous_input;
    state.previous_output = previous_output;
}
