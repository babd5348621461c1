// SPDX-License-Identifier: MIT
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

bool executable(const std::string &path) { return access(path.c_str(), X_OK) == 0; }

std::string own_folder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// In the child: puts from at fd to, clearing close-on-exec (dup2 to the same
// number keeps the flag, so that case is cleared by hand).
void place(int from, int to) {
    if (from < 0) return;
    if (from == to)
        fcntl(to, F_SETFD, 0);
    else
        dup2(from, to);
}

}  // namespace

bool make_pipe(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }

size_t unread_bytes(int fd) {
    int n = 0;
    if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0 || n < 0) return 0;
    return static_cast<size_t>(n);
}

std::string find_program(const std::string &program) {
    std::string folder = own_folder();
    if (!folder.empty() && executable(folder + "/" + program)) return folder + "/" + program;
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && executable(dir + "/" + program)) return dir + "/" + program;
    return "";
}

pid_t spawn_child(const std::string &path, const std::vector<std::string> &args, const child_fds &fds,
                  std::string &error) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    // Descriptors 0 to 4 of the child may be any of the parent's; move them
    // all above 4 first so that placing one does not overwrite another.
    int sources[5] = {fds.in, fds.out, fds.err, fds.fd3, fds.fd4};
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("cannot start ") + path + ": " + std::strerror(errno);
        return -1;
    }
    if (pid == 0) {
        for (int &fd : sources)
            if (fd >= 0 && fd <= 4) fd = fcntl(fd, F_DUPFD_CLOEXEC, 5);
        if (sources[0] == -1) sources[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (sources[1] == -1) sources[1] = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sources[2] == -1) sources[2] = open("/dev/null", O_WRONLY | O_CLOEXEC);
        for (int to = 0; to < 5; ++to) {
            if (sources[to] == child_fds::closed)
                close(to);
            else
                place(sources[to], to);
        }
        signal(SIGPIPE, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}
