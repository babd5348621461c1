// SPDX-License-Identifier: MIT
#include "speech_band.h"

#include <cmath>

#include "single_precision.h"

float speech_band_step(speech_band_state &state, float v) {
    float *x = state.x;
    float *y = state.y;

    // A sample glitch (NaN or infinity) counts as 0.
    if (!std::isfinite(v)) v = 0.0f;

    // The newest scaled input: v / G in double precision, rounded to float.
    for (int k = 0; k < 10; ++k) x[k] = x[k + 1];
    x[10] = static_cast<float>(static_cast<double>(v) / speech_band_gain);
    for (int k = 0; k < 10; ++k) y[k] = y[k + 1];

    // Numerator (1 - z^-2)^5: weights 1, -5, 10, -10, 5, -1 on x[10], x[8],
    // x[6], x[4], x[2], x[0], each operation rounded to float in this order.
    float t = x[10] - x[0];
    t = (x[2] - x[8]) * 5.0f + t;
    const float s = (x[6] - x[4]) * 10.0f + t;

    // Recursion in double precision, oldest output first.
    double a = static_cast<double>(s);
    for (int k = 0; k < 10; ++k) a = speech_band_feedback[k] * static_cast<double>(y[k]) + a;

    y[10] = static_cast<float>(a);
    // Inputs near the float limit overflow the numerator or the recursion; a
    // non-finite value would stay in the histories for good, so the filter
    // restarts from rest with a silent output.
    if (!std::isfinite(y[10])) {
        state = speech_band_state{};
        return 0.0f;
    }
    return y[10];
}

void speech_band_filter_float(speech_band_state &state, float *block, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) block[i] = speech_band_step(state, block[i]);
}

float speech_band_from_int16(std::int16_t s) { return static_cast<float>(s) / speech_band_int16_scale; }

std::int16_t speech_band_to_int16(float y) {
    const float scaled = y * speech_band_int16_scale;
    // Converting a float outside the int16 range (or NaN) to an integer is
    // undefined, so the limits are applied on the float before truncating.
    if (std::isnan(scaled)) return 0;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(static_cast<int>(scaled));
}

void speech_band_filter_int16(speech_band_state &state, std::int16_t *block, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        block[i] = speech_band_to_int16(speech_band_step(state, speech_band_from_int16(block[i])));
}
