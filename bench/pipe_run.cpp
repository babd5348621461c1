#include "pipe_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char **environ;

namespace {

double now_seconds() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double seconds_of(const timeval &tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

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

// The peak resident size (VmHWM) of a running process in KiB, or -1. Read
// from /proc while the program still waits for input: the kernel's figure at
// its end would also count the benchmark's pages the child shared before exec.
long peak_resident_kib(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE *f = std::fopen(path, "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

}  // namespace

pipe_run run_through_pipe(const std::string &path, const std::vector<std::string> &args, const void *pattern,
                          std::size_t pattern_bytes, std::size_t total_bytes) {
    pipe_run result;
    int in[2];
    if (pattern_bytes == 0 || pipe(in) != 0) return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addclose(&actions, in[0]);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv{const_cast<char *>(path.c_str())};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    if (spawned != 0) {
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
    long peak = peak_resident_kib(pid);
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
