// Throughput benchmark of the sample-stream programs: pipes a long generated
// signal through each program as a real process (stdout to /dev/null) and
// prints samples per second of the program's own CPU time, the real-time
// factor against the program's nominal sample rate, and peak resident memory.
//
// Usage: stream_bench BIN_DIR [SAMPLES]   (SAMPLES defaults to 100000000)

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
    {"quadslice", nullptr, 4, 48000}, {"duoslice", nullptr, 4, 48000},   {"pulsesieve", nullptr, 4, 48000},
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

double now_seconds() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

void run_case(const std::string &bin_dir, const bench_case &c, size_t total_samples) {
    std::string path = bin_dir + "/" + c.program;
    if (access(path.c_str(), X_OK) != 0) {
        std::printf("%-14s %-3s  (not built)\n", c.program, c.option ? c.option : "");
        return;
    }
    const size_t chunk_samples = 1 << 16;
    std::vector<char> chunk = make_signal(c.sample_bytes, chunk_samples);

    int in[2];
    if (pipe(in) != 0) std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[0]);
        close(in[1]);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        close(null_fd);
        if (c.option)
            execl(path.c_str(), c.program, c.option, static_cast<char *>(nullptr));
        else
            execl(path.c_str(), c.program, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    double start = now_seconds();
    size_t sent = 0;
    while (sent < total_samples) {
        size_t n = total_samples - sent < chunk_samples ? total_samples - sent : chunk_samples;
        size_t len = n * static_cast<size_t>(c.sample_bytes), done = 0;
        while (done < len) {
            ssize_t k = write(in[1], chunk.data() + done, len - done);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) break;
            done += static_cast<size_t>(k);
        }
        sent += n;
    }
    close(in[1]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double wall = now_seconds() - start;
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    double per_second = cpu > 0 ? static_cast<double>(total_samples) / cpu : 0;
    std::printf("%-14s %-3s %12zu %9.2f %9.2f %14.0f %10.0f %9ld %s\n", c.program, c.option ? c.option : "",
                total_samples, wall, cpu, per_second, per_second / c.rate, usage.ru_maxrss,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "(did not exit 0)");
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
