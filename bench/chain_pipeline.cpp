// SPDX-License-Identifier: MIT
#include "chain_pipeline.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
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
#include <map>

#include "testing/process.h"

namespace {

double cpu_seconds(const rusage &usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int open_or_null(const std::string &path, int flags) {
    return open(path.empty() ? "/dev/null" : path.c_str(), flags | O_CLOEXEC, 0644);
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
        // The descriptors are all close-on-exec, so no stage holds another
        // stage's pipe end open (which would keep a reader from ever seeing
        // the end of input).
        pids[i] = spawn_process(stages[i], in, out, err);
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
            // The stage's own peak, watched while it runs (see process_peak_kib).
            peaks[i] = std::max(peaks[i], process_peak_kib(pids[i]));
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

bool write_file(const std::string &path, const std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool field(const std::string &line, const std::string &key, std::string &value) {
    std::size_t at = 0;
    while ((at = line.find(key + ":", at)) != std::string::npos) {
        if (at == 0 || line[at - 1] == ';') {
            const std::size_t from = at + key.size() + 1;
            const std::size_t end = line.find(';', from);
            value = line.substr(from, end == std::string::npos ? std::string::npos : end - from);
            return true;
        }
        at += key.size();
    }
    return false;
}

long units_in_order(const std::string &received, const std::vector<std::string> &sent, std::size_t unit) {
    std::map<std::string, std::size_t> where;
    for (std::size_t i = 0; i < sent.size(); ++i) where.emplace(sent[i], i);
    long matched = 0;
    std::size_t next = 0;
    for (std::size_t at = 0; at + unit <= received.size(); at += unit) {
        auto found = where.find(received.substr(at, unit));
        if (found != where.end() && found->second >= next) {
            ++matched;
            next = found->second + 1;
        }
    }
    return matched;
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
