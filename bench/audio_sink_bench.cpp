// SPDX-License-Identifier: MIT
// What the speech files cost: calls of 3 s of speech written through the
// audio sink (sound file and sidecar, hidden while written, then renamed),
// in each format the installed libsndfile writes; CPU seconds per hour of
// speech.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "audio_sink.h"

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char **argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 200;
    char templ[] = "/tmp/audio_sink_bench_XXXXXX";
    if (!mkdtemp(templ)) return 1;
    std::vector<int16_t> frame(160);  // 20 ms, as a vocoder hands it on
    for (size_t k = 0; k < frame.size(); ++k)
        frame[k] = static_cast<int16_t>(6000 * std::sin(0.3 * static_cast<double>(k)));
    for (const char *format : {"wav", "flac", "ogg", "opus", "mp3"}) {
        std::string error;
        if (!audio_format_supported(format, error)) {
            std::printf("%-5s not written by this libsndfile\n", format);
            continue;
        }
        audio_options o;
        o.folder = std::string(templ) + "/" + format;
        o.format = format;
        auto sink = make_audio_sink(o, error);
        if (!sink) {
            std::fprintf(stderr, "audio_sink_bench: %s\n", error.c_str());
            return 1;
        }
        const double cpu = cpu_seconds();
        const auto wall = std::chrono::steady_clock::now();
        for (int c = 1; c <= calls; ++c) {
            event e;
            e.call_id = static_cast<uint64_t>(c), e.time = c * 4.0, e.source = 2001, e.target = 9, e.type = "group";
            sink->take(e);
            for (int f = 0; f < 150; ++f) sink->speech(e.call_id, frame.data(), frame.size());
            e.kind = event_kind::call_end, e.time += 3, e.duration = 3;
            sink->take(e);
        }
        sink->finish(false);
        const double used = cpu_seconds() - cpu;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
        const double speech_hours = calls * 3.0 / 3600;
        std::printf("%-5s %d calls of 3 s: %.3f s CPU, %.3f s wall; %.2f CPU seconds per hour of speech\n", format,
                    calls, used, elapsed, used / speech_hours);
    }
    std::filesystem::remove_all(templ);
    return 0;
}
