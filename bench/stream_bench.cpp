// SPDX-License-Identifier: MIT
// Throughput benchmark of the sample-stream programs: pipes a long generated
// signal through each program as a real process (stdout to /dev/null) and
// prints samples per second of the program's own CPU time, the real-time
// factor against the program's nominal sample rate, and peak resident memory.
//
// Usage: stream_bench BIN_DIR [SAMPLES]   (SAMPLES defaults to 100000000)

#include "pipe_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct bench_case {
    const char *program;
    const char *option;  // extra option, or null
    int sample_bytes;    // 4 (float) or 2 (16-bit)
    double rate;         // nominal samples per second
};

const bench_case cases[] = {
    {"quadslice", nullptr, 4, 48000}, {"duoslice", nullptr, 4, 48000},   {"quadlock", nullptr, 4, 48000},
    {"duolock", nullptr, 4, 48000},   {"pulsesieve", nullptr, 4, 48000},
    {"zeroglide", nullptr, 4, 48000}, {"speechsieve", nullptr, 2, 8000}, {"speechsieve", "-f", 4, 8000},
};

// A repeating stretch of signal: four-level symbols at 10 samples per symbol
// with a little noise and DC, or a speech-band tone mix for 16-bit samples.
std::vector<char> make_signal(int sample_bytes, size_t samples) {
    std::vector<char> bytes(samples * static_cast<size_t>(sample_bytes));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0;
    };
    const double levels[4] = {0.3333, 1.0, -0.3333, -1.0};
    double level = 0;
    for (size_t i = 0; i < samples; ++i) {
        if (sample_bytes == 4) {
            if (i % 10 == 0) level = levels[static_cast<int>(next() * 4) & 3];
            float v = static_cast<float>(0.8 * level + 0.05 * (next() - 0.5) + 0.02);
            std::memcpy(&bytes[i * 4], &v, 4);
        } else {
            double t = static_cast<double>(i) / 8000.0;
            double v = 8000 * std::sin(2 * M_PI * 440 * t) + 4000 * std::sin(2 * M_PI * 2900 * t) +
                       2000 * (next() - 0.5);
            int16_t s = static_cast<int16_t>(v);
            std::memcpy(&bytes[i * 2], &s, 2);
        }
    }
    return bytes;
}

void run_case(const std::string &bin_dir, const bench_case &c, size_t total_samples) {
    std::string path = bin_dir + "/" + c.program;
    if (access(path.c_str(), X_OK) != 0) {
        std::printf("%-14s %-3s  (not built)\n", c.program, c.option ? c.option : "");
        return;
    }
    const size_t chunk_samples = 1 << 16;
    std::vector<char> chunk = make_signal(c.sample_bytes, chunk_samples);
    std::vector<std::string> args;
    if (c.option) args.push_back(c.option);
    pipe_run r = run_through_pipe(path, args, chunk.data(), chunk.size(),
                                  total_samples * static_cast<size_t>(c.sample_bytes));
    double per_second = per_cpu_second(r, total_samples);
    std::printf("%-14s %-3s %12zu %9.2f %9.2f %14.0f %10.0f %9ld %s\n", c.program, c.option ? c.option : "",
                total_samples, r.wall_seconds, r.cpu_seconds, per_second, per_second / c.rate, r.peak_kib,
                exit_remark(r));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: stream_bench BIN_DIR [SAMPLES]\n");
        return 2;
    }
    size_t samples = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000000ull;
    std::printf("%-14s %-3s %12s %9s %9s %14s %10s %9s\n", "program", "opt", "samples", "wall s", "cpu s",
                "samples/cpu s", "x realtime", "maxrss KiB");
    for (const bench_case &c : cases) run_case(argv[1], c, samples);
    return 0;
}
