// SPDX-License-Identifier: MIT
// The channelizer alone: a cu8 capture (as an RTL dongle delivers it) turned
// to floats and channelized, on one core. Prints, for each rate and number
// of channels, the CPU time per second of capture and the multiple of real
// time. The figure to reach: 2.4 MS/s, 192 channels of 12.5 kHz, 20x.
//
// channelizer_bench [SECONDS [RATE CHANNELS]]
//   default: 10 seconds of capture a row, the rows below; with RATE and
//   CHANNELS only that row.

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "channelizer.h"

namespace {

double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Noise with a few carriers, quantised to cu8 as a dongle does.
std::vector<uint8_t> make_capture(double rate, double seconds) {
    size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<uint8_t> bytes(2 * frames);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 6.0);
    double phase[3] = {0, 0, 0};
    const double step[3] = {0.013, -0.21, 0.37};
    for (size_t n = 0; n < frames; ++n) {
        double i = noise(gen), q = noise(gen);
        for (int k = 0; k < 3; ++k) {
            phase[k] += step[k];
            i += 30 * std::cos(phase[k]);
            q += 30 * std::sin(phase[k]);
        }
        bytes[2 * n] = static_cast<uint8_t>(std::clamp(127.5 + i, 0.0, 255.0));
        bytes[2 * n + 1] = static_cast<uint8_t>(std::clamp(127.5 + q, 0.0, 255.0));
    }
    return bytes;
}

void row(double rate, int count, double seconds) {
    const long long center = 439206250;
    std::vector<long long> channels;
    // Channels of 12.5 kHz about the centre, which lies between two of them.
    for (int c = 0; c < count; ++c) channels.push_back(center - 6250LL * (count - 1) + 12500LL * c);
    channelizer ch;
    std::string error;
    if (!ch.open({rate, center, channels, 0}, error)) {
        std::printf("%9.0f  %4d channels: %s\n", rate, count, error.c_str());
        return;
    }
    std::vector<uint8_t> bytes = make_capture(rate, seconds);
    // Blocks of 256 KiB, as rtl_sdr and rtl_tcp hand them out.
    const size_t block_frames = 131072;
    std::vector<float> iq(2 * block_frames);
    std::vector<std::vector<float>> out;
    double start = thread_seconds();
    size_t frames = bytes.size() / 2, made = 0;
    for (size_t at = 0; at < frames; at += block_frames) {
        size_t n = std::min(block_frames, frames - at);
        for (size_t k = 0; k < 2 * n; ++k) iq[k] = (static_cast<float>(bytes[2 * at + k]) - 127.5f) / 127.5f;
        ch.process(iq.data(), n, out);
        for (auto &o : out) {
            made += o.size() / 2;
            o.clear();
        }
    }
    double used = thread_seconds() - start;
    std::printf(
        "%9.0f  %4d channels  FFT %6zu -> %4zu  channel rate %8.1f  %6.3f s CPU per s  %6.1fx real time"
        "  (%zu pairs out)\n",
        rate, count, ch.fft_size(), ch.channel_fft_size(), ch.channel_rate(), used / seconds, seconds / used, made);
}

}  // namespace

int main(int argc, char **argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!(seconds > 0 && seconds <= 600) || argc == 3 || argc > 4) {
        std::fprintf(stderr, "usage: channelizer_bench [SECONDS [RATE CHANNELS]]\n");
        return 2;
    }
    std::printf("channelizer, cu8 in, one core, %.0f s of capture a row\n", seconds);
    if (argc == 4) {
        row(std::atof(argv[2]), std::atoi(argv[3]), seconds);
        return 0;
    }
    row(2400000, 192, seconds);
    row(2400000, 153, seconds);
    row(2400000, 16, seconds);
    row(2400000, 1, seconds);
    row(2048000, 163, seconds);
    row(3200000, 256, seconds);
    row(1000000, 80, seconds);
    row(2300000, 184, seconds);
    row(1234567, 98, seconds);
    return 0;
}
