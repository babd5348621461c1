// SPDX-License-Identifier: MIT
// zelvane's figures: the CPU time of zelvane (and of any process it starts)
// per second of 48000 samples/s input (without speech, so without the
// vocoder; then with it for comparison), the peak resident memory of the
// whole front door, the spread of event times from run to run, and the
// latency from the deciding sample to its event when the input arrives in
// real time, as from a receiver.
//
// Usage: zelvane_bench BIN_DIR [SECONDS [OTHER_ZELVANE]]   (input length,
// default 60; OTHER_ZELVANE: another build's zelvane, measured alike beside
// it, with its programs next to it)

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

double now_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The baseband airmint writes for args.
std::vector<float> airmint(const std::string &bin, const std::string &args) {
    std::string command = bin + "/airmint " + args;
    FILE *p = popen(command.c_str(), "r");
    std::vector<float> out;
    float block[4096];
    size_t n;
    while (p && (n = std::fread(block, sizeof(float), 4096, p)) > 0) out.insert(out.end(), block, block + n);
    if (p) pclose(p);
    return out;
}

// Where each transmission of the test signal lies, in seconds of input.
struct part {
    double start, end;
};
std::vector<part> parts_of_signal;

// A busy channel: every protocol and rate in turn, with noise between,
// repeated to seconds of input.
std::vector<float> test_signal(const std::string &bin, double seconds) {
    const char *parts[] = {
        "--superframes 4 --other-call --other-direct --other-target 3100 --other-source 2002 --snr 20 --ppm 40",
        "-p ysf --position 51.5,-0.125 --frames 30 --snr 20 --ppm -40",
        "-p pocsag --page '1234567:Hello from airmint' --numeric-page 1234:5551234 --snr 15",
        "-p pocsag --baud 512 --page '1000512:Slow page' --snr 15",
        "-p pocsag --baud 2400 --page '1002400:Fast page' --snr 15",
    };
    std::vector<std::vector<float>> made;
    for (const char *p : parts) made.push_back(airmint(bin, p));
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::vector<float> signal;
    size_t total = static_cast<size_t>(seconds * 48000);
    for (size_t k = 0; signal.size() < total; ++k) {
        for (int n = 0; n < 24000; ++n) signal.push_back(noise(random));
        const auto &made_part = made[k % made.size()];
        double start = static_cast<double>(signal.size()) / 48000;
        signal.insert(signal.end(), made_part.begin(), made_part.end());
        parts_of_signal.push_back({start, static_cast<double>(signal.size()) / 48000});
    }
    signal.resize(total);
    return signal;
}

// CPU seconds of all the processes this one has waited for, and through
// them their own children.
double children_cpu_seconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
           static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
}

struct run_result {
    double cpu = 0, wall = 0;
    int events = 0;
    long peak_kib = 0;           // resident memory of zelvane and its children together, at its peak
    std::vector<double> times;   // of the events, in order
    std::vector<std::string> lines;
};

// Resident memory (VmRSS, KiB) of a process and, recursively, its children.
long tree_rss_kib(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE *f = std::fopen(path, "r");
    if (!f) return 0;
    long kib = 0;
    char line[256];
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::atol(line + 6);
    std::fclose(f);
    std::snprintf(path, sizeof path, "/proc/%d/task/%d/children", static_cast<int>(pid), static_cast<int>(pid));
    f = std::fopen(path, "r");
    if (!f) return kib;
    int child;
    while (std::fscanf(f, "%d", &child) == 1) kib += tree_rss_kib(child);
    std::fclose(f);
    return kib;
}

// Runs zelvane on a file; CPU time of it and every descendant it waited for,
// and the peak of their resident memory together, sampled every 5 ms.
run_result run_file(const std::string &path, const std::vector<std::string> &args) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return {};
    double start = now_seconds();
    double cpu_before = children_cpu_seconds();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    run_result r;
    char buffer[4096];
    std::string text;
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 5) > 0) {
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        r.peak_kib = std::max(r.peak_kib, tree_rss_kib(pid));
    }
    close(out[0]);
    for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
        std::string line = text.substr(at, nl - at);
        size_t t = line.find("\"time\":");
        r.times.push_back(t == std::string::npos ? 0 : std::atof(line.c_str() + t + 7));
        r.lines.push_back(line);
        ++r.events;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.wall = now_seconds() - start;
    // The time of zelvane and of every chain it waited for.
    r.cpu = children_cpu_seconds() - cpu_before;
    return r;
}

// Before the real-time run: the CPU seconds so far; after it: the run's own.
double live_cpu_seconds = 0;

// For each kind of event, two delays in seconds:
struct delays {
    std::vector<double> after_stamp;  // from writing the sample at the event's time to reading the event
    std::vector<double> after_part;   // from writing the transmission's first sample (call) or last (call-end, page)
};

// Feeds the signal in real time through a pipe and notes the delays of each event.
std::map<std::string, delays> latencies(const std::string &path, const std::vector<float> &signal) {
    int in[2], out[2];
    std::map<std::string, delays> by_protocol;
    if (pipe(in) != 0 || pipe(out) != 0) return by_protocol;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(path.c_str(), path.c_str(), "-j", "-f", "f32", "-r", "48000", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    ::signal(SIGPIPE, SIG_IGN);
    live_cpu_seconds = children_cpu_seconds();
    const size_t block = 480;  // 10 ms, as a sound card or rtl_fm delivers it
    double start = now_seconds();
    size_t at = 0;
    std::string lines;
    auto take_lines = [&](double arrival) {
        size_t nl;
        while ((nl = lines.find('\n')) != std::string::npos) {
            std::string line = lines.substr(0, nl);
            lines.erase(0, nl + 1);
            size_t t = line.find("\"time\":"), p = line.find("\"protocol\":\"");
            if (t == std::string::npos || p == std::string::npos) continue;
            double time = std::atof(line.c_str() + t + 7);
            std::string protocol = line.substr(p + 12, line.find('"', p + 12) - p - 12);
            bool at_end = line.find("\"call\"") == std::string::npos;
            if (line.find("\"call-end\"") != std::string::npos) protocol += " call-end";
            if (line.find("\"call\"") != std::string::npos) protocol += " call";
            by_protocol[protocol].after_stamp.push_back(arrival - (start + time));
            // The transmission the event belongs to: the last one begun before its time.
            const part *owner = nullptr;
            for (const part &pt : parts_of_signal)
                if (pt.start <= time) owner = &pt;
            if (owner)
                by_protocol[protocol].after_part.push_back(arrival - (start + (at_end ? owner->end : owner->start)));
        }
    };
    while (true) {
        double due = start + static_cast<double>(at) / 48000;
        double now = now_seconds();
        if (at < signal.size() && now >= due) {
            size_t n = std::min(block, signal.size() - at);
            if (write(in[1], signal.data() + at, n * sizeof(float)) < 0) break;
            at += n;
            continue;
        }
        if (at >= signal.size() && in[1] >= 0) {
            close(in[1]);
            in[1] = -1;
        }
        pollfd p{out[0], POLLIN, 0};
        int wait_ms = at < signal.size() ? std::max(0, static_cast<int>((due - now) * 1000)) : 1000;
        if (poll(&p, 1, wait_ms) > 0) {
            char buffer[4096];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            lines.append(buffer, static_cast<size_t>(n));
            take_lines(now_seconds());
        }
    }
    close(out[0]);
    waitpid(pid, nullptr, 0);
    live_cpu_seconds = children_cpu_seconds() - live_cpu_seconds;
    return by_protocol;
}

// The largest difference of an event's time between runs, events taken in
// order and matched by their text without the time; -1 if the runs gave
// different events.
double time_spread(const std::vector<run_result> &runs, const char *protocol) {
    double spread = 0;
    for (size_t k = 0; k < runs[0].times.size(); ++k) {
        if (runs[0].lines[k].find(protocol) == std::string::npos) continue;
        double low = runs[0].times[k], high = low;
        for (const run_result &r : runs) {
            if (r.times.size() != runs[0].times.size()) return -1;
            low = std::min(low, r.times[k]);
            high = std::max(high, r.times[k]);
        }
        spread = std::max(spread, high - low);
    }
    return spread;
}

void measure(const char *label, const std::string &zelvane, const std::vector<float> &signal, double seconds,
             const std::string &file) {
    char audio[] = "/tmp/zelvane_bench_audio_XXXXXX";
    if (!mkdtemp(audio)) return;
    std::printf("\n%s: %s\n", label, zelvane.c_str());
    std::printf("%-44s %10s %12s %8s %7s %12s\n", "run (zelvane -j -f f32 -r 48000 ...)", "CPU s", "% of a core",
                "wall s", "events", "peak RSS MiB");
    const struct {
        const char *name;
        std::vector<std::string> args;
    } runs[] = {
        {"all chains, tracking demodulators", {"-j", "-f", "f32", "-r", "48000", file}},
        {"all chains, exact slicers (--exact)", {"--exact", "-j", "-f", "f32", "-r", "48000", file}},
        {"all chains and speech (-a, with the vocoder)", {"-j", "-a", audio, "-f", "f32", "-r", "48000", file}},
    };
    for (const auto &run : runs) {
        run_result r = run_file(zelvane, run.args);
        std::printf("%-44s %10.3f %11.2f%% %8.2f %7d %12.1f\n", run.name, r.cpu, 100 * r.cpu / seconds, r.wall,
                    r.events, static_cast<double>(r.peak_kib) / 1024);
    }
    std::system((std::string("rm -rf '") + audio + "'").c_str());

    // The same file five times, the machine otherwise idle: how far apart
    // the times of the same event fall.
    std::vector<run_result> again;
    for (int n = 0; n < 5; ++n) again.push_back(run_file(zelvane, runs[0].args));
    std::printf("run-to-run spread of event times over 5 runs: pages %.3f s, calls %.3f s (-1: different events)\n",
                time_spread(again, "\"POCSAG\""), std::max(time_spread(again, "\"DMR\""), time_spread(again, "\"YSF\"")));

    double live = std::min(seconds, 30.0);
    std::printf(
        "latency: %.0f s of the same input written in real time (10 ms blocks) into zelvane's standard input.\n"
        "(a) seconds from writing the sample at the event's time stamp (its deciding sample) to reading the event;\n"
        "(b) from writing the transmission's first sample (call) or its last (call-end, page, after\n"
        "    the generator's idle tail) to reading the event: the protocol's own delay included\n",
        live);
    std::vector<float> head(signal.begin(), signal.begin() + static_cast<long>(live * 48000));
    auto summary = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        char text[96];
        std::snprintf(text, sizeof text, "min %6.3f  median %6.3f  max %6.3f", v.front(), v[v.size() / 2], v.back());
        return std::string(text);
    };
    auto measured = latencies(zelvane, head);
    std::printf("  CPU of the front door over the %.0f s: %.3f s, %.2f%% of a core\n", live, live_cpu_seconds,
                100 * live_cpu_seconds / live);
    for (auto &[kind, d] : measured) {
        std::printf("  %-16s %3zu events  (a) %s\n", kind.c_str(), d.after_stamp.size(),
                    summary(d.after_stamp).c_str());
        if (!d.after_part.empty()) std::printf("  %-16s %10s  (b) %s\n", "", "", summary(d.after_part).c_str());
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zelvane_bench BIN_DIR [SECONDS [OTHER_ZELVANE]]\n");
        return 2;
    }
    std::string bin = argv[1];
    double seconds = argc > 2 ? std::atof(argv[2]) : 60;
    if (seconds < 10) seconds = 10;
    std::vector<float> signal = test_signal(bin, seconds);
    char file[] = "/tmp/zelvane_bench_XXXXXX";
    int fd = mkstemp(file);
    if (fd < 0 || write(fd, signal.data(), signal.size() * sizeof(float)) < 0) return 1;
    close(fd);
    std::printf("input: %.0f s of 48000 samples/s float baseband, every protocol and rate in turn\n", seconds);
    measure("this build", bin + "/zelvane", signal, seconds, file);
    if (argc > 3) measure("beside it, another build", argv[3], signal, seconds, file);
    unlink(file);
    return 0;
}
