// SPDX-License-Identifier: MIT
#pragma once
// Test support: the steady-state gain of a filter at one frequency, measured
// by running a tone through it and correlating the settled output with the
// tone's sine and cosine.

#include <cmath>
#include <cstddef>
#include <vector>

// filter(samples) filters a vector of floats in place; frequency is a fraction
// of the sample rate. Runs settle samples first, then measures over measure
// samples (best a whole number of periods).
template <typename Filter>
double tone_gain(Filter &&filter, double frequency, std::size_t settle = 4000, std::size_t measure = 4000) {
    const double pi = 3.14159265358979323846;
    std::vector<float> samples(settle + measure);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(0.5 * std::sin(2 * pi * frequency * static_cast<double>(i)));
    filter(samples);
    double in_phase = 0, quadrature = 0;
    for (std::size_t i = settle; i < samples.size(); ++i) {
        const double phase = 2 * pi * frequency * static_cast<double>(i);
        in_phase += samples[i] * std::sin(phase);
        quadrature += samples[i] * std::cos(phase);
    }
    return 2 * std::hypot(in_phase, quadrature) / static_cast<double>(measure) / 0.5;
}
