// SPDX-License-Identifier: MIT
#pragma once
// Seeded white Gaussian noise for test signals: the same seed gives the same
// samples on every machine (splitmix64 numbers, Box-Muller pairs).

#include <cstdint>

struct noise_source {
    uint64_t state = 0;
    bool has_spare = false;
    double spare = 0.0;
};

// Starts the sequence of a seed.
void seed_noise(noise_source &noise, uint64_t seed);

// The next 64 random bits.
uint64_t next_random(noise_source &noise);

// The next sample of zero-mean, unit-variance Gaussian noise.
double next_gaussian(noise_source &noise);
