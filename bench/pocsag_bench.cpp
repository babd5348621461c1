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

#include "pocsag_encode.h"

namespace {

constexpr double bit_rate = 1200.0;

double now_seconds() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

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

// The program is started before its input is generated: a forked child's peak
// resident size counts the parent's pages it shares until exec, so the parent
// must still be small then.
template <typename Generate>
void run_case(const std::string &path, const char *name, Generate generate, std::size_t total) {
    int in[2];
    if (pipe(in) != 0) std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[0]);
        close(in[1]);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        close(null_fd);
        execl(path.c_str(), "pagewick", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    const std::vector<uint8_t> chunk = generate();
    double start = now_seconds();
    std::size_t sent = 0;
    while (sent < total) {
        std::size_t len = std::min(total - sent, chunk.size()), done = 0;
        while (done < len) {
            ssize_t k = write(in[1], chunk.data() + done, len - done);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) break;
            done += static_cast<std::size_t>(k);
        }
        sent += len;
    }
    close(in[1]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double wall = now_seconds() - start;
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    double per_second = cpu > 0 ? static_cast<double>(total) / cpu : 0;
    std::printf("%-14s %12zu %9.2f %9.2f %14.0f %10.0f %10.0f %9ld %s\n", name, total, wall, cpu, per_second,
                per_second / bit_rate, static_cast<double>(total) / wall / bit_rate, usage.ru_maxrss,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "(did not exit 0)");
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
    run_case(
        path, "random bits", [] { return random_bits(1 << 22); }, bits);
    run_case(
        path, "pages", [] { return page_stream(1 << 23); }, bits);
    return 0;
}
