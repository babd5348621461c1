// SPDX-License-Identifier: MIT
// zelvane on a whole band: a 2.4 MS/s cu8 capture made by airmix, every
// usable channel of 12.5 kHz watched, with 0, 1, 4 and 16 of them busy
// (DMR, System Fusion and POCSAG in turn). Prints the CPU share of one core
// per second of capture, the peak resident memory and the events found.
//
// Usage: wideband_bench BIN_DIR [SECONDS]   (capture length, default 20)

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/process.h"

namespace {

double children_cpu_seconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
           static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
}

// The airmint arguments of busy channel k: the three protocols in turn.
std::string transmission(int k) {
    switch (k % 4) {
        case 0:
            return "-p dmr --source " + std::to_string(2000 + k) + " --target 9 --superframes 20";
        case 1:
            return "-p ysf --source N" + std::to_string(k) + "CALL --frames 60";
        case 2:
            return "-p pocsag --page '" + std::to_string(100000 + k) + ":Busy channel page'";
        default:
            return "-p pocsag --baud 512 --page '" + std::to_string(200000 + k) + ":Slow page'";
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wideband_bench BIN_DIR [SECONDS]\n");
        return 2;
    }
    const std::string bin = argv[1];
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    const long long rate = 2400000, center = 439206250;  // half-way between two channels: the DC spike in neither
    const std::string dir = make_temp_dir();
    std::printf("capture: %.0f s of cu8 at 2.4 MS/s, centre 439.20625 MHz, every usable 12.5 kHz channel watched\n",
                seconds);
    std::printf("%-14s %10s %14s %14s %8s\n", "busy channels", "CPU s", "% of one core", "peak RSS MiB", "events");
    for (int busy : {0, 1, 4, 16}) {
        std::vector<std::string> args = {"-r", std::to_string(rate), "--noise", "-60", "--seconds",
                                         std::to_string(seconds), "--seed", "7"};
        // airmix needs one transmission: with none busy, one far below the noise.
        if (busy == 0) args.insert(args.end(), {"--airmint", "6250,-150,0.5,-p pocsag"});
        for (int k = 0; k < busy; ++k) {
            // Spread over the band, 37.5 kHz apart and more, each repeating
            // its transmission every few seconds.
            const long long offset = -900000 + 112500LL * k + 6250;
            for (double start = 0.5 + 0.1 * k; start < seconds - 3; start += 4.0) {
                args.push_back("--deviation");
                args.push_back(k % 4 >= 2 ? "4500" : "1944");
                args.push_back("--airmint");
                args.push_back(std::to_string(offset) + ",-30," + std::to_string(start) + "," + transmission(k));
            }
        }
        program_result mixed = run_program(bin + "/airmix", args, "", 0, 600000);
        if (mixed.exit_code != 0) {
            std::fprintf(stderr, "airmix failed: %s\n", mixed.err.c_str());
            return 1;
        }
        const std::string capture = dir + "/band.cu8";
        FILE *f = std::fopen(capture.c_str(), "wb");
        if (!f) return 1;
        std::fwrite(mixed.out.data(), 1, mixed.out.size(), f);
        std::fclose(f);
        mixed.out.clear();

        const double before = children_cpu_seconds();
        int out[2];
        if (pipe(out) != 0) return 1;
        pid_t pid = spawn_process({bin + "/zelvane", "-j", "-f", "cu8", "-r", std::to_string(rate), "--center",
                                   std::to_string(center), capture},
                                  -1, out[1], -1);
        close(out[1]);
        long peak = 0;
        std::string events;
        char buffer[4096];
        for (;;) {
            // The high-water mark, read while zelvane runs (it is gone at the end).
            peak = std::max(peak, process_peak_kib(pid));
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 50) == 0) continue;
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            events.append(buffer, static_cast<size_t>(n));
        }
        close(out[0]);
        waitpid(pid, nullptr, 0);
        const double cpu = children_cpu_seconds() - before;
        size_t lines = 0;
        for (char c : events) lines += c == '\n';
        std::printf("%-14d %10.2f %13.1f%% %14.1f %8zu\n", busy, cpu, 100 * cpu / seconds,
                    static_cast<double>(peak) / 1024, lines);
        std::fflush(stdout);
        std::remove(capture.c_str());
    }
    rmdir(dir.c_str());
    return 0;
}
