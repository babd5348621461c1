#include "chain_pipeline.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

extern char **environ;

namespace {

double cpu_seconds(const rusage &usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int open_or_null(const std::string &path, int flags) {
    return open(path.empty() ? "/dev/null" : path.c_str(), flags | O_CLOEXEC, 0644);
}

// Starts one stage with the given descriptors as its standard streams; the
// descriptors are all close-on-exec, so no stage holds another stage's pipe
// end open (which would keep a reader from ever seeing the end of input).
pid_t spawn_stage(const chain_stage &stage, int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<char *> argv;
    for (const std::string &word : stage) argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The peak resident set of the process's present program image (VmHWM of
// /proc/PID/status, KiB), or 0 once it has ended. The kernel's figure at
// the end (ru_maxrss) also counts the image it was started from, which for
// a spawned child is a copy of the benchmark itself, so the stage's own
// peak is watched while it runs.
long image_peak_kib(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[4096];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return 0;
    text[n] = 0;
    const char *line = std::strstr(text, "\nVmHWM:");
    return line ? std::strtol(line + 7, nullptr, 10) : 0;
}

std::string quoted(const std::string &word) {
    if (word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./,:=+") ==
        std::string::npos)
        return word;
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

double monotonic_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

chain_run run_chain(const std::vector<chain_stage> &stages, const std::string &input_path,
                    const std::string &output_path, const std::string &error_path, double timeout_seconds) {
    chain_run run;
    run.stages.resize(stages.size());
    const double start = monotonic_seconds();
    const int err = open_or_null(error_path, O_WRONLY | O_CREAT | O_TRUNC);
    int in = open_or_null(input_path, O_RDONLY);
    std::vector<pid_t> pids(stages.size(), -1);
    for (std::size_t i = 0; i < stages.size(); ++i) {
        int pipe_fds[2] = {-1, -1};
        int out;
        if (i + 1 == stages.size()) {
            out = open_or_null(output_path, O_WRONLY | O_CREAT | O_TRUNC);
        } else {
            if (pipe2(pipe_fds, O_CLOEXEC) != 0) break;
            out = pipe_fds[1];
        }
        pids[i] = spawn_stage(stages[i], in, out, err);
        close(in);
        close(out);
        in = pipe_fds[0];
    }
    if (in >= 0) close(in);
    close(err);

    // Reap every stage, polling so that a hung chain can be ended.
    std::size_t running = 0;
    for (pid_t pid : pids) running += pid > 0;
    std::vector<long> peaks(pids.size(), 0);
    while (running > 0) {
        for (std::size_t i = 0; i < pids.size(); ++i) {
            if (pids[i] <= 0) continue;
            peaks[i] = std::max(peaks[i], image_peak_kib(pids[i]));
            rusage usage{};
            int status = 0;
            const pid_t done = wait4(pids[i], &status, WNOHANG, &usage);
            if (done == pids[i] || (done < 0 && errno != EINTR)) {
                run.stages[i] = {cpu_seconds(usage), peaks[i], done == pids[i] ? status : -1};
                pids[i] = -1;
                --running;
            }
        }
        if (running == 0) break;
        if (monotonic_seconds() - start > timeout_seconds && !run.timed_out) {
            run.timed_out = true;
            for (pid_t pid : pids)
                if (pid > 0) kill(pid, SIGKILL);
        }
        const timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
    }
    run.wall_seconds = monotonic_seconds() - start;
    run.clean = !run.timed_out;
    for (const stage_usage &s : run.stages)
        if (!WIFEXITED(s.status) || WEXITSTATUS(s.status) != 0) run.clean = false;
    return run;
}

std::string chain_text(const std::vector<chain_stage> &stages, const std::string &input_path,
                       const std::string &output_path) {
    std::string text;
    for (std::size_t i = 0; i < stages.size(); ++i) {
        if (i > 0) text += " | ";
        for (std::size_t w = 0; w < stages[i].size(); ++w) {
            if (w > 0) text += ' ';
            text += quoted(stages[i][w]);
        }
        if (i == 0 && !input_path.empty()) text += " < " + quoted(input_path);
    }
    if (!output_path.empty()) text += " > " + quoted(output_path);
    return text;
}

std::string read_whole_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string make_work_dir(const char *prefix) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

void remove_work_dir(const std::string &dir) {
    if (dir.empty()) return;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") unlink((dir + "/" + name).c_str());
        }
        closedir(d);
    }
    rmdir(dir.c_str());
}
