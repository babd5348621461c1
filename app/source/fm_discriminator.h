// SPDX-License-Identifier: MIT
#pragma once
// FM demodulation of complex baseband: the phase step from one IQ sample to
// the next, as a discriminator gives it.

#include <cstddef>
#include <vector>

struct fm_discriminator {
    float last_i = 0, last_q = 0;
    float scale = 1;  // output per radian of phase step
};

// Output 1.0 for this frequency deviation. The demodulators track the level,
// so the scale only keeps the numbers near the ±1 of a receiver's audio.
inline constexpr double discriminator_unit_hz = 2000.0;

// Sets the scale for IQ at rate samples per second.
void discriminator_init(fm_discriminator &d, double rate);

// Demodulates frames interleaved I/Q pairs, appending one value per pair.
// Non-finite samples count as zero.
void discriminator_process(fm_discriminator &d, const float *iq, size_t frames, std::vector<float> &out);
