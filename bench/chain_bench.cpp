// SPDX-License-Identifier: MIT
// Chain benchmark: what the receiving chains cost on long transmissions, and
// how long a block waits in each stage.
//
// Cost: airmint writes a long transmission (10 minutes of signal by default)
// to a file; the chain then reads it as fast as it can:
//   DMR      quadslice | tessavox -f META | voxloom | speechsieve
//   YSF      quadslice | orbavox -f META | voxloom -y
//   POCSAG   duoslice -i | pagewick
//   filters  zeroglide | pulsesieve
// and every stage's CPU time (user and system) and peak resident memory come
// from the kernel as it ends. CPU seconds per second of signal is that time
// over the transmission's length; below 1 the stage keeps up with a live
// receiver on one core.
//
// Latency: each stage alone, as a process with its standard input held
// open, is fed its real input (the previous stage's output of a shorter
// transmission) one block at a time, a block being what the program asks
// for with one read. A block is done when the program has read all of it
// and waits for the next one (it is then blocked reading its standard
// input, as the kernel shows); for every block after which output appears,
// the time from writing that block to reading the first byte of the output
// is taken. The count of such blocks shows how often a stage writes: every
// block for the slicers and filters (the last, partial block waits for
// more), every voice burst or frame for the decoders, every page for
// pagewick.
//
// Usage: chain_bench BIN_DIR [--minutes M] [--latency-seconds S] [--no-cost] [--no-latency]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "chain_pipeline.h"
#include "testing/process.h"

namespace {

struct options {
    std::string bin;
    double minutes = 10;
    double latency_seconds = 20;
    bool cost = true;
    bool latency = true;
};

constexpr double baseband_rate = 48000;
// Frames of a System Fusion transmission per second of signal (480 symbols
// at 4800 symbols/s), DMR voice superframes per second (six 60 ms timeslot
// pairs).
constexpr double ysf_frames_per_second = 10;
constexpr double dmr_superframes_per_second = 1 / 0.36;

// airmint's arguments (after the program) for a transmission of about the
// given length, with some noise so the slicers and decoders see a real
// channel.
std::vector<std::string> airmint_args(const std::string &protocol, double seconds) {
    std::vector<std::string> args;
    if (protocol == "dmr") {
        args = {"--superframes", std::to_string(std::max(1L, std::lround(seconds * dmr_superframes_per_second)))};
    } else if (protocol == "ysf") {
        args = {"-p", "ysf", "--frames",
                std::to_string(std::clamp(std::lround(seconds * ysf_frames_per_second), 1L, 36000L))};
    } else {
        // Alphanumeric pages of 400 characters: about 4.5 s each at 1200
        // bits/s, with a numeric page between them.
        args = {"-p", "pocsag"};
        const long pages = std::max(1L, std::lround(seconds / 4.7));
        for (long i = 0; i < pages; ++i) {
            std::string text;
            for (int c = 0; c < 400; ++c) text += static_cast<char>('A' + (i * 7 + c * 13) % 26);
            args.push_back("--page");
            args.push_back(std::to_string(1000 + i * 8) + ":" + text);
            args.push_back("--numeric-page");
            args.push_back(std::to_string(2000 + i * 8) + ":" + std::to_string(1000000000 + i));
        }
    }
    for (const char *a : {"--snr", "20", "--seed", "1"}) args.push_back(a);
    return args;
}

// Writes a transmission of airmint to path; false if it failed.
bool generate(const options &o, const std::string &protocol, double seconds, const std::string &path) {
    std::vector<std::string> airmint = {o.bin + "/airmint"};
    for (const std::string &a : airmint_args(protocol, seconds)) airmint.push_back(a);
    const chain_run run = run_chain({airmint}, "", path, "", 3600);
    if (!run.clean) std::fprintf(stderr, "airmint failed for %s\n", protocol.c_str());
    return run.clean;
}

long file_size(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

std::string stage_name(const chain_stage &stage) {
    std::string name = stage[0].substr(stage[0].rfind('/') + 1);
    for (std::size_t i = 1; i < stage.size(); ++i) {
        const std::string &word = stage[i];
        name += ' ' + (word.find('/') != std::string::npos ? std::string("META") : word);
    }
    return name;
}

// ---- Cost of whole chains ----

struct chain_plan {
    const char *name;
    const char *protocol;  // of the transmission
    std::vector<chain_stage> stages;
};

std::vector<chain_plan> chain_plans(const options &o, const std::string &dir) {
    const std::string b = o.bin + "/", meta = dir + "/meta";
    return {
        {"DMR", "dmr", {{b + "quadslice"}, {b + "tessavox", "-f", meta}, {b + "voxloom"}, {b + "speechsieve"}}},
        {"YSF", "ysf", {{b + "quadslice"}, {b + "orbavox", "-f", meta}, {b + "voxloom", "-y"}}},
        {"POCSAG", "pocsag", {{b + "duoslice", "-i"}, {b + "pagewick"}}},
        {"filters", "dmr", {{b + "zeroglide"}, {b + "pulsesieve"}}},
    };
}

bool measure_cost(const options &o, const std::string &dir) {
    std::printf("\nCost of whole chains (each stage a process; %g minutes of generated signal, 20 dB SNR)\n",
                o.minutes);
    std::printf("voxloom's figures are those of the build found: a silent stand-in where mbelib is absent.\n");
    std::printf("%-26s %10s %10s %14s %12s\n", "chain / stage", "signal s", "cpu s", "cpu s/signal s", "peak KiB");
    const std::string signal = dir + "/signal.f32";
    std::string generated;
    bool all_clean = true;
    for (const chain_plan &plan : chain_plans(o, dir)) {
        if (generated != plan.protocol) {
            if (!generate(o, plan.protocol, o.minutes * 60, signal)) return false;
            generated = plan.protocol;
        }
        const double seconds = static_cast<double>(file_size(signal)) / 4 / baseband_rate;
        const chain_run run = run_chain(plan.stages, signal, "", "", 3600);
        double cpu = 0;
        long peak = 0;
        std::string joined;
        for (const chain_stage &stage : plan.stages) joined += (joined.empty() ? "" : " | ") + stage_name(stage);
        std::printf("%s: %s%s\n", plan.name, joined.c_str(), run.clean ? "" : "   (FAILED)");
        for (std::size_t i = 0; i < plan.stages.size(); ++i) {
            const stage_usage &u = run.stages[i];
            cpu += u.cpu_seconds;
            peak += u.peak_kib;
            std::printf("  %-24s %10.1f %10.2f %14.5f %12ld\n", stage_name(plan.stages[i]).c_str(), seconds,
                        u.cpu_seconds, u.cpu_seconds / seconds, u.peak_kib);
        }
        std::printf("  %-24s %10.1f %10.2f %14.5f %12ld   (wall %.1f s)\n", "whole chain", seconds, cpu, cpu / seconds,
                    peak, run.wall_seconds);
        all_clean = all_clean && run.clean;
        std::fflush(stdout);
    }
    unlink(signal.c_str());
    unlink((dir + "/meta").c_str());
    return all_clean;
}

// ---- Latency through each stage ----

// Splits a stage's input into the blocks the program reads: a fixed size,
// or for voxloom -y the tagged records (mode byte, then a frame of the
// mode's size).
using block_splitter = std::function<std::size_t(const std::string &input, std::size_t at)>;

block_splitter fixed_blocks(std::size_t size) {
    return [size](const std::string &input, std::size_t at) { return std::min(size, input.size() - at); };
}

std::size_t tagged_record(const std::string &input, std::size_t at) {
    std::size_t frame = 0;
    switch (static_cast<uint8_t>(input[at])) {
        case 0:
            frame = 12;
            break;
        case 2:
            frame = 7;
            break;
        case 3:
            frame = 18;
            break;
        default:
            frame = 0;
            break;
    }
    return std::min(1 + frame, input.size() - at);
}

// True while the process waits in a read of its standard input, as
// /proc/PID/syscall shows: the read's number and descriptor 0.
bool waits_on_stdin(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/syscall", static_cast<int>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char text[128];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return false;
    text[n] = 0;
    char *end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || number != SYS_read) return false;
    return std::strtoul(end, nullptr, 16) == 0;
}

int pipe_backlog(int fd) {
    int bytes = 0;
    return ioctl(fd, FIONREAD, &bytes) == 0 ? bytes : -1;
}

struct latency_result {
    long blocks = 0;
    long with_output = 0;
    std::vector<double> seconds;  // per block with output
    bool ok = true;
};

latency_result measure_stage(const chain_stage &stage, const std::string &input, const block_splitter &split) {
    latency_result result;
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        result.ok = false;
        return result;
    }
    fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn_process(stage, in[0], out[1], null_fd);
    close(in[0]);
    close(out[1]);
    close(null_fd);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        result.ok = false;
        return result;
    }

    char buffer[65536];
    const timespec pause{0, 100000};
    for (std::size_t at = 0; at < input.size() && result.ok;) {
        const std::size_t length = split(input, at);
        const double start = monotonic_seconds();
        for (std::size_t done = 0; done < length;) {
            const ssize_t k = write(in[1], input.data() + at + done, length - done);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) {
                result.ok = false;
                break;
            }
            done += static_cast<std::size_t>(k);
        }
        at += length;
        ++result.blocks;
        bool seen = false;
        // Until the program has taken the whole block and waits for more.
        for (;;) {
            if (monotonic_seconds() - start > 10) {  // a stage that hangs
                kill(pid, SIGKILL);
                result.ok = false;
                break;
            }
            pollfd p{out[0], POLLIN, 0};
            ppoll(&p, 1, &pause, nullptr);
            const bool settled = pipe_backlog(in[1]) == 0 && waits_on_stdin(pid);
            ssize_t k;
            while ((k = read(out[0], buffer, sizeof buffer)) > 0) {
                if (!seen) {
                    result.seconds.push_back(monotonic_seconds() - start);
                    seen = true;
                }
            }
            if (k == 0) {  // the program has ended early
                result.ok = false;
                break;
            }
            if (settled) break;
        }
        result.with_output += seen;
    }
    close(in[1]);
    ssize_t k;
    while ((k = read(out[0], buffer, sizeof buffer)) != 0)
        if (k < 0 && errno != EAGAIN && errno != EINTR) break;
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result.ok = false;
    return result;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

struct latency_plan {
    const char *chain;
    chain_stage stage;
    std::string input;  // file name in the work directory
    block_splitter split;
};

bool measure_latency(const options &o, const std::string &dir) {
    const std::string b = o.bin + "/";
    const double s = o.latency_seconds;
    // The stages' inputs: each stage's output of a shorter transmission.
    struct step {
        chain_stage stage;
        const char *from, *to;
    };
    bool made = generate(o, "dmr", s, dir + "/dmr.f32") && generate(o, "ysf", s, dir + "/ysf.f32") &&
                generate(o, "pocsag", s, dir + "/pocsag.f32");
    const std::vector<step> steps = {
        {{b + "quadslice"}, "dmr.f32", "dmr.sym"},   {{b + "tessavox"}, "dmr.sym", "dmr.codec"},
        {{b + "voxloom"}, "dmr.codec", "dmr.s16"},   {{b + "quadslice"}, "ysf.f32", "ysf.sym"},
        {{b + "orbavox"}, "ysf.sym", "ysf.records"}, {{b + "duoslice", "-i"}, "pocsag.f32", "pocsag.bits"},
    };
    for (const step &st : steps)
        made = made && run_chain({st.stage}, dir + "/" + st.from, dir + "/" + st.to, "", 600).clean;
    if (!made) {
        std::fprintf(stderr, "could not make the stages' inputs\n");
        return false;
    }

    const std::vector<latency_plan> plans = {
        {"DMR", {b + "quadslice"}, "dmr.f32", fixed_blocks(256 * 4)},
        {"DMR", {b + "tessavox", "-f", dir + "/meta"}, "dmr.sym", fixed_blocks(128)},
        {"DMR", {b + "voxloom"}, "dmr.codec", fixed_blocks(12)},
        {"DMR", {b + "speechsieve"}, "dmr.s16", fixed_blocks(32 * 2)},
        {"YSF", {b + "quadslice"}, "ysf.f32", fixed_blocks(256 * 4)},
        {"YSF", {b + "orbavox", "-f", dir + "/meta"}, "ysf.sym", fixed_blocks(128)},
        {"YSF", {b + "voxloom", "-y"}, "ysf.records", tagged_record},
        {"POCSAG", {b + "duoslice", "-i"}, "pocsag.f32", fixed_blocks(256 * 4)},
        {"POCSAG", {b + "pagewick"}, "pocsag.bits", fixed_blocks(128)},
        {"filters", {b + "zeroglide"}, "dmr.f32", fixed_blocks(256 * 4)},
        {"filters", {b + "pulsesieve"}, "dmr.f32", fixed_blocks(256 * 4)},
    };
    std::printf("\nLatency of one block through each stage (stdin held open; about %g s of signal per stage)\n", s);
    std::printf("%-8s %-20s %8s %8s %10s %10s %10s\n", "chain", "stage", "blocks", "output", "median us", "p99 us",
                "max us");
    bool all_ok = true;
    for (const latency_plan &plan : plans) {
        const std::string input = read_whole_file(dir + "/" + plan.input);
        const latency_result r = measure_stage(plan.stage, input, plan.split);
        std::printf("%-8s %-20s %8ld %8ld %10.0f %10.0f %10.0f%s\n", plan.chain, stage_name(plan.stage).c_str(),
                    r.blocks, r.with_output, quantile(r.seconds, 0.5) * 1e6, quantile(r.seconds, 0.99) * 1e6,
                    quantile(r.seconds, 1.0) * 1e6, r.ok ? "" : "   (FAILED)");
        std::fflush(stdout);
        all_ok = all_ok && r.ok;
    }
    for (const char *name : {"dmr.f32", "dmr.sym", "dmr.codec", "dmr.s16", "ysf.f32", "ysf.sym", "ysf.records",
                             "pocsag.f32", "pocsag.bits", "meta"})
        unlink((dir + "/" + name).c_str());
    return all_ok;
}

[[noreturn]] void usage_exit() {
    std::fputs("Usage: chain_bench BIN_DIR [--minutes M] [--latency-seconds S] [--no-cost] [--no-latency]\n", stderr);
    std::exit(2);
}

double positive_number(int &i, int argc, char **argv) {
    if (i + 1 >= argc) usage_exit();
    char *end = nullptr;
    const double v = std::strtod(argv[++i], &end);
    if (*end != 0 || !(v > 0) || !std::isfinite(v)) usage_exit();
    return v;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argv[1][0] == '-') usage_exit();
    options o;
    o.bin = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--minutes")
            o.minutes = positive_number(i, argc, argv);
        else if (a == "--latency-seconds")
            o.latency_seconds = positive_number(i, argc, argv);
        else if (a == "--no-cost")
            o.cost = false;
        else if (a == "--no-latency")
            o.latency = false;
        else
            usage_exit();
    }
    for (const char *program : {"airmint", "quadslice", "duoslice", "tessavox", "orbavox", "pagewick", "voxloom",
                                "speechsieve", "zeroglide", "pulsesieve"}) {
        if (access((o.bin + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "%s/%s: not built\n", o.bin.c_str(), program);
            return 1;
        }
    }
    const std::string dir = make_work_dir("zelvane-chain-");
    if (dir.empty()) {
        std::fprintf(stderr, "cannot make a work directory\n");
        return 1;
    }
    bool ok = true;
    if (o.cost) ok = measure_cost(o, dir) && ok;
    if (o.latency) ok = measure_latency(o, dir) && ok;
    remove_work_dir(dir);
    if (!ok) std::printf("\nsome chains or stages did not end cleanly\n");
    return ok ? 0 : 1;
}
