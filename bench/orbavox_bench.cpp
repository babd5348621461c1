// SPDX-License-Identifier: MIT
// Throughput benchmark of orbavox: pipes a long symbol stream through the
// program as a real process (stdout to /dev/null) and prints symbols per
// second of the program's own CPU time, the real-time factor against 4800
// symbols per second, and peak resident memory.
//
// Streams: random symbol bytes (the decoder searches all the time), and one
// long transmission in each voice mode (the decoder follows every frame).
//
// Usage: orbavox_bench BIN_DIR [SYMBOLS]   (SYMBOLS defaults to 200000000)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pipe_run.h"
#include "ysf_encode.h"

namespace {

constexpr double symbol_rate = 4800.0;

std::vector<uint8_t> random_symbols(size_t n) {
    std::vector<uint8_t> s(n);
    uint32_t seed = 4800;
    for (auto &x : s) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<uint8_t>(seed >> 30);
    }
    return s;
}

// A transmission of about 100 frames (header, communication frames,
// terminator), repeated to fill the stream.
std::vector<uint8_t> transmission_symbols(uint8_t data_type) {
    ysf_encode::transmission_plan plan;
    plan.data_type = data_type;
    plan.calls.target = ysf_encode::call_sign("ALL");
    plan.calls.source = ysf_encode::call_sign("DL1ABC");
    plan.calls.down = ysf_encode::call_sign("DB0XYZ");
    plan.calls.up = ysf_encode::call_sign("DM0UP");
    plan.has_position = data_type == ysf_encode::fich_dt_vd_mode2;
    plan.latitude = 51.502;
    plan.longitude = -0.125;
    plan.communication_frames = 98;
    ysf_encode::transmission t;
    if (!ysf_encode::build_transmission(plan, t)) std::exit(1);
    return t.symbols;
}

void run_case(const std::string &path, const char *name, const std::vector<uint8_t> &pattern, size_t total) {
    pipe_run r = run_through_pipe(path, {}, pattern.data(), pattern.size(), total);
    double per_second = per_cpu_second(r, total);
    std::printf("%-16s %12zu %9.2f %9.2f %14.0f %10.0f %10ld %s\n", name, total, r.wall_seconds, r.cpu_seconds,
                per_second, per_second / symbol_rate, r.peak_kib, exit_remark(r));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orbavox_bench BIN_DIR [SYMBOLS]\n");
        return 2;
    }
    std::string path = std::string(argv[1]) + "/orbavox";
    if (access(path.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "%s: not built\n", path.c_str());
        return 1;
    }
    size_t total = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000000ull;
    std::printf("%-16s %12s %9s %9s %14s %10s %10s\n", "stream", "symbols", "wall s", "cpu s", "symbols/cpu s",
                "x realtime", "maxrss KiB");
    run_case(path, "random symbols", random_symbols(1 << 20), total);
    run_case(path, "V/D mode 1", transmission_symbols(ysf_encode::fich_dt_vd_mode1), total);
    run_case(path, "V/D mode 2", transmission_symbols(ysf_encode::fich_dt_vd_mode2), total);
    run_case(path, "voice full-rate", transmission_symbols(ysf_encode::fich_dt_voice_full_rate), total);
    return 0;
}
