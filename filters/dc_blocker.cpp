#include "dc_blocker.h"

#include "single_precision.h"

void dc_blocker_filter(dc_blocker_state &state, float *block, std::size_t count) {
    float previous_input = state.previous_input;
    float previous_output = state.previous_output;
    for (std::size_t i = 0; i < count; ++i) {
        const float x = block[i];
        const float difference = x - previous_input;
        const float forward = difference * dc_blocker_gain;
        const float feedback = previous_output * dc_blocker_pole;
        const float y = forward + feedback;
        previous_input = x;
        previous_output = y;
        block[i] = y;
    }
    state.previous_input = previous_input;
    state.previous_output = previous_output;
}
