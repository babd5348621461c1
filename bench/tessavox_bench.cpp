// SPDX-License-Identifier: MIT
// Throughput benchmark of tessavox: pipes a long symbol stream through the
// program as a real process (stdout to /dev/null) and prints symbols per
// second of the program's own CPU time, the real-time factor against 4800
// symbols per second, and peak resident memory.
//
// Streams: random symbol bytes (the decoder searches all the time), and a
// long two-slot channel with a call in each slot (the decoder follows every
// burst, writes voice and decodes the link control).
//
// Usage: tessavox_bench BIN_DIR [SYMBOLS]   (SYMBOLS defaults to 200000000)

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
#include "dmr_encode.h"

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

// Calls in both slots at once, slot 1's longer, repeated to fill the
// stream: voice, embedded LC, headers, terminators and idle bursts.
std::vector<uint8_t> two_slot_symbols() {
    dmr_encode::call c0, c1;
    c1.slot = 1;
    c1.target = 77;
    c1.source = 3003;
    std::vector<dmr_encode::burst> b0 = dmr_encode::call_bursts(c0, dmr_encode::test_pattern_frames(18 * 20));
    std::vector<dmr_encode::burst> b1 = dmr_encode::call_bursts(c1, dmr_encode::test_pattern_frames(18 * 30));
    return dmr_encode::channel_symbols(b0, b1);
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
        std::fprintf(stderr, "usage: tessavox_bench BIN_DIR [SYMBOLS]\n");
        return 2;
    }
    std::string path = std::string(argv[1]) + "/tessavox";
    if (access(path.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "%s: not built\n", path.c_str());
        return 1;
    }
    size_t total = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000000ull;
    std::printf("%-16s %12s %9s %9s %14s %10s %10s\n", "stream", "symbols", "wall s", "cpu s", "symbols/cpu s",
                "x realtime", "maxrss KiB");
    run_case(path, "random symbols", random_symbols(1 << 20), total);
    run_case(path, "two-slot calls", two_slot_symbols(), total);
    return 0;
}
