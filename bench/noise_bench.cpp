// SPDX-License-Identifier: MIT
// An hour of noise through zelvane: what a quiet channel makes up. Gaussian
// noise at 48000 samples/s (some of it band-limited, some with a DC offset,
// both polarities alike, since zelvane tries both) goes into zelvane -j on a
// pipe; every event it prints is one made up. Prints the events by kind and
// the CPU that the hour cost.
//
// Usage: noise_bench BIN_DIR [MINUTES]   (default 60)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "testing/process.h"

namespace {

double children_cpu_seconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
           static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: noise_bench BIN_DIR [MINUTES]\n");
        return 2;
    }
    const std::string bin = argv[1];
    const double minutes = argc > 2 ? std::atof(argv[2]) : 60;
    int in[2], out[2];
    // Close-on-exec: zelvane must hold no end of its input but its own, or
    // it would never see the input end.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return 1;
    const double before = children_cpu_seconds();
    pid_t pid = spawn_process({bin + "/zelvane", "-j", "-f", "f32", "-r", "48000"}, in[0], out[1], -1);
    close(in[0]);
    close(out[1]);
    std::string events;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t n;
        while ((n = read(out[0], buffer, sizeof buffer)) > 0) events.append(buffer, static_cast<size_t>(n));
    });
    std::mt19937 random(20261211);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    const long long total = static_cast<long long>(minutes * 60 * 48000);
    std::vector<float> block(48000);
    float smooth = 0;
    for (long long done = 0; done < total; done += static_cast<long long>(block.size())) {
        // Each second of its own kind: white, band-limited (a receiver's
        // audio filter), or white on a DC offset, at one of three levels.
        const long long second = done / 48000;
        const float level = 0.1f + 0.45f * static_cast<float>(second % 3);
        const int kind = static_cast<int>((second / 3) % 3);
        for (float &v : block) {
            float x = gauss(random) * level;
            if (kind == 1) x = smooth = smooth + 0.3f * (x - smooth);
            if (kind == 2) x += 0.5f;
            v = x;
        }
        const char *bytes = reinterpret_cast<const char *>(block.data());
        size_t left = block.size() * sizeof(float);
        while (left > 0) {
            ssize_t n = write(in[1], bytes, left);
            if (n <= 0) break;
            bytes += n;
            left -= static_cast<size_t>(n);
        }
    }
    close(in[1]);
    reader.join();
    close(out[0]);
    waitpid(pid, nullptr, 0);
    const double cpu = children_cpu_seconds() - before;
    std::map<std::string, int> kinds;
    for (size_t at = 0; (at = events.find("\"event\":\"", at)) != std::string::npos;) {
        at += 9;
        kinds[events.substr(at, events.find('"', at) - at)]++;
    }
    std::printf("%.0f minutes of noise at 48000 samples/s through zelvane (every protocol, both polarities)\n",
                minutes);
    std::printf("CPU: %.1f s, %.2f %% of a core\n", cpu, 100 * cpu / (minutes * 60));
    if (kinds.empty()) std::printf("events made up: none\n");
    for (const auto &[kind, count] : kinds) std::printf("events made up: %d %s\n", count, kind.c_str());
    return 0;
}
