// SPDX-License-Identifier: MIT
#include "narrowband.h"

bool narrowband_open(narrowband_input &n, const source_info &info, std::string &error) {
    n.complex = info.complex;
    if (n.complex) discriminator_init(n.discriminator, demod_rate);
    return resampler_open(n.resampler, info.rate, demod_rate, n.complex ? 2 : 1, error);
}

namespace {

void demodulate(narrowband_input &n, std::vector<float> &out) {
    if (n.complex)
        discriminator_process(n.discriminator, n.resampled.data(), n.resampled.size() / 2, out);
    else
        out.insert(out.end(), n.resampled.begin(), n.resampled.end());
    n.resampled.clear();
}

}  // namespace

void narrowband_convert(narrowband_input &n, const float *frames, size_t count, std::vector<float> &out) {
    resampler_process(n.resampler, frames, count, n.resampled);
    demodulate(n, out);
}

void narrowband_flush(narrowband_input &n, std::vector<float> &out) {
    resampler_flush(n.resampler, n.resampled);
    demodulate(n, out);
}

void narrowband_close(narrowband_input &n) { resampler_close(n.resampler); }
