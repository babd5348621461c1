// SPDX-License-Identifier: MIT
#include "fd_writer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool fd_write(fd_writer &w, const std::string &text) {
    size_t at = 0;
    while (at < text.size()) {
        if (w.gone || !w.failure.empty()) return false;
        pollfd p{w.fd, POLLOUT, 0};
        int ready = poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) {
            w.failure = std::string("write error: ") + std::strerror(errno);
            return false;
        }
        if (ready <= 0) {
            if (w.stop && *w.stop) return false;  // a stalled reader never holds back the end
            continue;
        }
        ssize_t n = write(w.fd, text.data() + at, text.size() - at);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            if (errno == EPIPE) {
                w.gone = true;
            } else {
                w.failure = std::string("write error: ") + std::strerror(errno);
            }
            return false;
        }
        at += static_cast<size_t>(n);
    }
    return true;
}
