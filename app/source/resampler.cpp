// SPDX-License-Identifier: MIT
#include "resampler.h"

#include <cmath>

bool resampler_open(stream_resampler &r, double in_rate, double out_rate, unsigned channels, std::string &error) {
    r.channels = channels;
    r.ratio = out_rate / in_rate;
    r.soxr = nullptr;
    if (in_rate == out_rate) return true;
    soxr_error_t failure = nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // High quality (-100 dB aliasing) with a linear-phase filter, so the
    // symbol shapes the demodulators see are not distorted.
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
    r.soxr = soxr_create(in_rate, out_rate, channels, &failure, &io, &quality, nullptr);
    if (failure) {
        error = std::string("cannot resample: ") + failure;
        r.soxr = nullptr;
        return false;
    }
    return true;
}

namespace {

void run(stream_resampler &r, const float *input, size_t frames, std::vector<float> &out) {
    for (;;) {
        size_t room = static_cast<size_t>(std::ceil(static_cast<double>(frames) * r.ratio)) + 1024;
        size_t at = out.size();
        out.resize(at + room * r.channels);
        size_t used = 0, made = 0;
        soxr_process(r.soxr, input, frames, &used, out.data() + at, room, &made);
        out.resize(at + made * r.channels);
        if (input) {
            input += used * r.channels;
            frames -= used;
            if (frames == 0) return;
        } else if (made < room) {
            return;  // flushed: nothing more to come
        }
        if (used == 0 && made == 0) return;
    }
}

}  // namespace

void resampler_process(stream_resampler &r, const float *input, size_t frames, std::vector<float> &out) {
    if (frames == 0) return;
    if (!r.soxr) {
        out.insert(out.end(), input, input + frames * r.channels);
        return;
    }
    run(r, input, frames, out);
}

void resampler_flush(stream_resampler &r, std::vector<float> &out) {
    if (r.soxr) run(r, nullptr, 0, out);
}

void resampler_close(stream_resampler &r) {
    if (r.soxr) soxr_delete(r.soxr);
    r.soxr = nullptr;
}
