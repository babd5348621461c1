// SPDX-License-Identifier: MIT
#include "test_signal.h"

#include <cmath>

namespace {

struct lcg {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    double uniform() { return static_cast<double>(next()) / 16777216.0; }
};

}  // namespace

std::vector<float> value_windows(const std::vector<float> &values, int window_length) {
    std::vector<float> samples;
    for (float v : values) {
        for (int k = 0; k < window_length; ++k) samples.push_back(k == 1 ? v * 8.0f : 0.0f);
    }
    return samples;
}

std::vector<float> held_symbols(int count, int period, int lead, float edge, const std::vector<float> &levels,
                                uint32_t seed, std::vector<float> *sent) {
    lcg random{seed};
    std::vector<float> samples(static_cast<size_t>(lead), 1.0f);
    for (int i = 0; i < count; ++i) {
        const float level = levels[random.next() % levels.size()];
        if (sent) sent->push_back(level);
        for (int k = 0; k < period; ++k) samples.push_back(k == 0 ? level * edge : level);
    }
    return samples;
}

std::vector<float> drifting_symbols(int samples, double period, const std::vector<float> &levels, uint32_t seed) {
    lcg random{seed};
    std::vector<float> out;
    long symbol = -1;
    float level = 0.0f;
    for (int t = 0; t < samples; ++t) {
        const long s = static_cast<long>(std::floor(t / period));
        const bool change = s != symbol;
        if (change) {
            symbol = s;
            level = levels[random.next() % levels.size()];
        }
        const double noise = 0.05 * (random.uniform() - 0.5);
        out.push_back(static_cast<float>((change ? 0.2 * level : level) + noise + 0.1));
    }
    return out;
}
