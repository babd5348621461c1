// SPDX-License-Identifier: MIT
// Throughput benchmark of pagewick: pipes a long bit stream (one byte per
// bit) through the program as a real process, output to /dev/null, and
// prints bits per second of the program's own CPU time, the real-time factor
// against 1200 bits/s, and peak resident memory.
//
// Usage: pocsag_bench BIN_DIR [BITS]   (BITS defaults to 200000000)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "pipe_run.h"
#include "pocsag_encode.h"

namespace {

constexpr double bit_rate = 1200.0;

// Random bits: the decoder searches for sync all the time.
std::vector<uint8_t> random_bits(std::size_t n) {
    std::mt19937 random(1200);
    std::vector<uint8_t> bits(n);
    for (uint8_t &b : bits) b = static_cast<uint8_t>(random() & 1);
    return bits;
}

// One long transmission of pages of every kind, back to back: the decoder
// stays in sync and corrects, assembles and prints all the time.
std::vector<uint8_t> page_stream(std::size_t min_bits) {
    std::mt19937 random(512);
    std::vector<pocsag_page> pages;
    std::size_t codewords = 0;
    while (32 * codewords * 17 / 16 < min_bits) {
        pocsag_page page;
        page.address = static_cast<int32_t>(random() & 0x1FFFFF);
        if (random() % 2) {
            page.function = 0;
            page.kind = pocsag_text_kind::numeric;
            for (int i = 1 + random() % 30; i > 0; --i) page.text += static_cast<char>('0' + random() % 10);
        } else {
            page.function = 3;
            page.kind = pocsag_text_kind::alphanumeric;
            for (int i = 1 + random() % 80; i > 0; --i) page.text += static_cast<char>(' ' + random() % 95);
        }
        codewords += 9 + page.text.size() * 7 / 20;
        pages.push_back(page);
    }
    return pocsag_transmission(pages);
}

void run_case(const std::string &path, const char *name, const std::vector<uint8_t> &chunk, std::size_t total) {
    pipe_run r = run_through_pipe(path, {}, chunk.data(), chunk.size(), total);
    double per_second = per_cpu_second(r, total);
    std::printf("%-14s %12zu %9.2f %9.2f %14.0f %10.0f %10.0f %9ld %s\n", name, total, r.wall_seconds,
                r.cpu_seconds, per_second, per_second / bit_rate,
                r.wall_seconds > 0 ? static_cast<double>(total) / r.wall_seconds / bit_rate : 0.0, r.peak_kib,
                exit_remark(r));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pocsag_bench BIN_DIR [BITS]\n");
        return 2;
    }
    std::string path = std::string(argv[1]) + "/pagewick";
    if (access(path.c_str(), X_OK) != 0) {
        std::printf("pagewick       (not built)\n");
        return 0;
    }
    std::size_t bits = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000000ull;
    std::printf("%-14s %12s %9s %9s %14s %10s %10s %9s\n", "input", "bits", "wall s", "cpu s", "bits/cpu s",
                "x rt (cpu)", "x rt (wall)", "maxrss KiB");
    run_case(path, "random bits", random_bits(1 << 22), bits);
    run_case(path, "pages", page_stream(1 << 23), bits);
    return 0;
}
