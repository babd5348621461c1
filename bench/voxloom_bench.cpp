// SPDX-License-Identifier: MIT
// Throughput benchmark of voxloom: pipes a long codec frame stream through
// the program as a real process (stdout to /dev/null) and prints frames per
// second of the program's own CPU time, the real-time factor against 50
// frames per second (20 ms of speech per frame), and peak resident memory.
// Built with the silent stand-in, this is the cost of voxloom's work per
// frame: reading, unpacking, the call, the 160-sample write and its flush.
// Most of it is the kernel's write of each flushed frame; so the benchmark
// also runs voxloom's logic in-process over a memory stream into a memory
// stream, with the stand-in linked, which is its own work without the
// system calls.
//
// Usage: voxloom_bench BIN_DIR [FRAMES]   (FRAMES defaults to 2000000)

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
#include "voxloom.h"

namespace {

struct bench_case {
    const char *name;
    std::vector<const char *> options;
    bool tagged;
};

const bench_case cases[] = {
    {"plain", {}, false},
    {"plain float", {"-f"}, false},
    {"tagged mix", {"-y"}, true},
    {"tagged mix float", {"-y", "-f"}, true},
};

// A repeating stretch of stream: 12-byte AMBE frames, or tagged records of
// the three kinds in the proportions of a System Fusion call (mostly mode 2
// and 3 records, some mode 0). Returns the bytes and counts the frames.
std::string make_stream(bool tagged, size_t frames) {
    std::string s;
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<char>(seed >> 24);
    };
    const int sizes[4] = {12, 0, 7, 18};
    for (size_t f = 0; f < frames; ++f) {
        int mode = 0;
        if (tagged) {
            mode = (f % 5 == 0) ? 0 : (f % 2 ? 2 : 3);
            s.push_back(static_cast<char>(mode));
        }
        for (int i = 0; i < sizes[mode]; ++i) s.push_back(next());
    }
    return s;
}

void run_case(const std::string &path, const bench_case &c, size_t total_frames) {
    // The stream repeats with the chunk; a last, shorter piece is a prefix of it.
    const size_t chunk_frames = 10000;  // a multiple of the tagged pattern's 10 records
    std::string chunk = make_stream(c.tagged, chunk_frames);
    size_t total_bytes = total_frames / chunk_frames * chunk.size() +
                         make_stream(c.tagged, total_frames % chunk_frames).size();
    std::vector<std::string> args(c.options.begin(), c.options.end());
    pipe_run r = run_through_pipe(path, args, chunk.data(), chunk.size(), total_bytes);
    double per_second = per_cpu_second(r, total_frames);
    std::printf("%-18s %10zu %8.2f %8.2f %13.0f %11.0f %10ld %s\n", c.name, total_frames, r.wall_seconds,
                r.cpu_seconds, per_second, per_second / 50.0, r.peak_kib, exit_remark(r));
}

// voxloom's logic alone: the same stream from memory into memory.
void run_in_process(const bench_case &c, size_t total_frames) {
    std::string stream = make_stream(c.tagged, total_frames);
    static voxloom_state state;
    voxloom_settings settings;
    settings.tagged_input = c.tagged;
    for (const char *o : c.options)
        if (o[1] == 'f') settings.float_output = true;
    voxloom_start(state, settings);
    FILE *in = fmemopen(stream.data(), stream.size(), "r");
    char *out_buf = nullptr;
    size_t out_len = 0;
    FILE *out = open_memstream(&out_buf, &out_len);
    FILE *err = std::fopen("/dev/null", "w");
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    // The memory stream grows to the whole output; rewind it now and then
    // so that only the logic's work is measured, not the heap's.
    size_t frames = 0;
    while (voxloom_process_record(state, in, out, err))
        if (++frames % 1000 == 0) std::fseek(out, 0, SEEK_SET);
    getrusage(RUSAGE_SELF, &after);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    std::free(out_buf);
    auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    double cpu =
        seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    double per_second = cpu > 0 ? static_cast<double>(frames) / cpu : 0;
    std::printf("%-18s %10zu %8s %8.2f %13.0f %11.0f %10s %s\n", c.name, frames, "-", cpu, per_second,
                per_second / 50.0, "-", frames == total_frames ? "" : "(frame count wrong)");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: voxloom_bench BIN_DIR [FRAMES]\n");
        return 2;
    }
    std::string path = std::string(argv[1]) + "/voxloom";
    if (access(path.c_str(), X_OK) != 0) {
        std::printf("voxloom not built in %s\n", argv[1]);
        return 0;
    }
    size_t frames = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2000000ull;
    std::printf("voxloom as a process, stdout to /dev/null:\n");
    std::printf("%-18s %10s %8s %8s %13s %11s %10s\n", "case", "frames", "wall s", "cpu s", "frames/cpu s",
                "x realtime", "maxrss KiB");
    for (const bench_case &c : cases) run_case(path, c, frames);
    std::printf("voxloom's logic in-process, memory to memory (no system calls):\n");
    for (const bench_case &c : cases) run_in_process(c, frames);
    return 0;
}
