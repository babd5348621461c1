// SPDX-License-Identifier: MIT
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "child_process.h"

namespace {

long long now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void close_fd(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Reads what is available on fd into into; closes fd at end of file.
void drain_once(int &fd, std::string &into) {
    char buffer[65536];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        close_fd(fd);
}

void wait_for(running_program &program, program_result &result, long long deadline) {
    if (program.pid < 0) {  // never started: reported as a shell reports it
        result.exit_code = 127;
        return;
    }
    int status = 0;
    for (;;) {
        pid_t r = waitpid(program.pid, &status, WNOHANG);
        if (r == program.pid) break;
        if (r < 0 && errno != EINTR) return;
        if (now_ms() > deadline) {
            kill(program.pid, SIGKILL);
            result.timed_out = true;
            waitpid(program.pid, &status, 0);
            break;
        }
        usleep(1000);
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    program.pid = -1;
}

}  // namespace

pid_t spawn_process(const std::vector<std::string> &argv, int in, int out, int err, const program_setup &setup) {
    if (argv.empty()) return -1;
    child_fds fds;
    fds.in = in;
    fds.out = out;
    fds.err = err;
    int file = -1;
    if (!setup.stdout_path.empty()) {
        file = open(setup.stdout_path.c_str(), O_WRONLY | O_CLOEXEC);
        if (file < 0) return -1;
        fds.out = file;
    }
    if (setup.closed_fd == 0) fds.in = child_fds::closed;
    if (setup.closed_fd == 1) fds.out = child_fds::closed;
    if (setup.closed_fd == 2) fds.err = child_fds::closed;
    std::string error;
    const pid_t pid = spawn_child(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()), fds, error);
    if (file >= 0) close(file);
    return pid;
}

long process_peak_kib(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char text[4096];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return -1;
    text[n] = 0;
    const char *line = std::strstr(text, "\nVmHWM:");
    return line ? std::strtol(line + 7, nullptr, 10) : -1;
}

running_program start_program(const std::string &path, const std::vector<std::string> &args,
                              const program_setup &setup) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) std::abort();
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    running_program program;
    program.pid = spawn_process(argv, in[0], out[1], err[1], setup);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    program.in = in[1];
    program.out = out[0];
    program.err = err[0];
    return program;
}

bool write_input(running_program &program, const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(program.in, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string read_output(running_program &program, std::size_t n, int timeout_ms) {
    std::string got;
    long long deadline = now_ms() + timeout_ms;
    while (got.size() < n && program.out >= 0) {
        long long left = deadline - now_ms();
        if (left <= 0) break;
        pollfd p{program.out, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r <= 0) continue;
        char buffer[65536];
        size_t want = n - got.size() < sizeof buffer ? n - got.size() : sizeof buffer;
        ssize_t k = read(program.out, buffer, want);
        if (k <= 0) break;
        got.append(buffer, static_cast<size_t>(k));
    }
    return got;
}

program_result finish_program(running_program &program, int timeout_ms) {
    program_result result;
    close_fd(program.in);
    long long deadline = now_ms() + timeout_ms;
    while (program.out >= 0 || program.err >= 0) {
        long long left = deadline - now_ms();
        if (left <= 0) {
            if (program.pid > 0) kill(program.pid, SIGKILL);
            result.timed_out = true;
            break;
        }
        pollfd p[2] = {{program.out, POLLIN, 0}, {program.err, POLLIN, 0}};
        int r = poll(p, 2, static_cast<int>(left));
        if (r < 0 && errno != EINTR) break;
        if (program.out >= 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) drain_once(program.out, result.out);
        if (program.err >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR))) drain_once(program.err, result.err);
    }
    close_fd(program.out);
    close_fd(program.err);
    bool killed = result.timed_out;
    wait_for(program, result, deadline + 1000);
    result.timed_out = result.timed_out || killed;
    return result;
}

program_result run_program(const std::string &path, const std::vector<std::string> &args, const std::string &input,
                           std::size_t chunk_size, int timeout_ms, const program_setup &setup) {
    running_program program = start_program(path, args, setup);
    program_result result;
    long long deadline = now_ms() + timeout_ms;
    fcntl(program.in, F_SETFL, fcntl(program.in, F_GETFL) | O_NONBLOCK);
    size_t written = 0;
    size_t piece = chunk_size ? chunk_size : input.size();
    if (input.empty()) close_fd(program.in);
    while (program.in >= 0 || program.out >= 0 || program.err >= 0) {
        long long left = deadline - now_ms();
        if (left <= 0) {
            if (program.pid > 0) kill(program.pid, SIGKILL);
            result.timed_out = true;
            break;
        }
        pollfd p[3] = {{program.in, POLLOUT, 0}, {program.out, POLLIN, 0}, {program.err, POLLIN, 0}};
        int r = poll(p, 3, static_cast<int>(left));
        if (r < 0 && errno != EINTR) break;
        if (program.in >= 0 && (p[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
            size_t n = input.size() - written < piece ? input.size() - written : piece;
            ssize_t k = write(program.in, input.data() + written, n);
            if (k > 0) written += static_cast<size_t>(k);
            if (k < 0 && errno != EAGAIN && errno != EINTR) close_fd(program.in);
            if (written >= input.size()) close_fd(program.in);
        }
        if (program.out >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR))) drain_once(program.out, result.out);
        if (program.err >= 0 && (p[2].revents & (POLLIN | POLLHUP | POLLERR))) drain_once(program.err, result.err);
    }
    close_fd(program.in);
    close_fd(program.out);
    close_fd(program.err);
    bool killed = result.timed_out;
    wait_for(program, result, deadline + 1000);
    result.timed_out = result.timed_out || killed;
    return result;
}

std::string make_temp_dir() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zelvane-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data())) std::abort();
    return buffer.data();
}

std::string read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}
