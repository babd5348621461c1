// SPDX-License-Identifier: MIT
#include "noise_source.h"

#include <cmath>

void seed_noise(noise_source &noise, uint64_t seed) {
    noise.state = seed;
    noise.has_spare = false;
    noise.spare = 0.0;
}

uint64_t next_random(noise_source &noise) {
    uint64_t z = (noise.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

// A uniform number in (0, 1]: never 0, so that its logarithm is finite.
double uniform_open(noise_source &noise) {
    return static_cast<double>((next_random(noise) >> 11) + 1) * (1.0 / 9007199254740992.0);
}

}  // namespace

double next_gaussian(noise_source &noise) {
    if (noise.has_spare) {
        noise.has_spare = false;
        return noise.spare;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniform_open(noise)));
    const double angle = 2.0 * M_PI * uniform_open(noise);
    noise.spare = radius * std::sin(angle);
    noise.has_spare = true;
    return radius * std::cos(angle);
}
