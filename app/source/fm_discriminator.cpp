// SPDX-License-Identifier: MIT
#include "fm_discriminator.h"

#include <cmath>
#include <numbers>

void discriminator_init(fm_discriminator &d, double rate) {
    d = fm_discriminator{};
    d.scale = static_cast<float>(rate / (2.0 * std::numbers::pi * discriminator_unit_hz));
}

void discriminator_process(fm_discriminator &d, const float *iq, size_t frames, std::vector<float> &out) {
    for (size_t n = 0; n < frames; ++n) {
        float i = iq[2 * n], q = iq[2 * n + 1];
        if (!std::isfinite(i) || !std::isfinite(q)) i = q = 0;
        // arg(z[n] * conj(z[n-1])); atan2 of (0, 0) is 0, so silence stays 0.
        float re = i * d.last_i + q * d.last_q;
        float im = q * d.last_i - i * d.last_q;
        out.push_back(std::atan2(im, re) * d.scale);
        d.last_i = i;
        d.last_q = q;
    }
}
