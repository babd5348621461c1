// SPDX-License-Identifier: MIT
#include "pipe_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "testing/process.h"

namespace {

double now_seconds() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double seconds_of(const timeval &tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

// Writes all of data; false once the reader has gone.
bool write_all(int fd, const char *data, std::size_t len) {
    std::size_t done = 0;
    while (done < len) {
        ssize_t k = write(fd, data + done, len - done);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        done += static_cast<std::size_t>(k);
    }
    return true;
}

}  // namespace

pipe_run run_through_pipe(const std::string &path, const std::vector<std::string> &args, const void *pattern,
                          std::size_t pattern_bytes, std::size_t total_bytes) {
    pipe_run result;
    int in[2];
    if (pattern_bytes == 0 || pipe2(in, O_CLOEXEC) != 0) return result;

    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = spawn_process(argv, in[0], null_fd, null_fd);
    close(in[0]);
    if (null_fd >= 0) close(null_fd);
    if (pid < 0) {
        close(in[1]);
        return result;
    }

    double start = now_seconds();
    const char *bytes = static_cast<const char *>(pattern);
    std::size_t sent = 0;
    while (sent < total_bytes) {
        std::size_t len = total_bytes - sent < pattern_bytes ? total_bytes - sent : pattern_bytes;
        if (!write_all(in[1], bytes, len)) break;
        sent += len;
    }
    // Read while the program still waits for input (see process_peak_kib).
    long peak = process_peak_kib(pid);
    close(in[1]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.wall_seconds = now_seconds() - start;
    result.cpu_seconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
    result.peak_kib = peak >= 0 ? peak : usage.ru_maxrss;
    result.exited_zero = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}
