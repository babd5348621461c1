// SPDX-License-Identifier: MIT
#include "rtl_tcp_source.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using steady = std::chrono::steady_clock;

std::string system_error(int code) { return std::strerror(code); }

// Waits for fd to be ready for events until the deadline; false on timeout
// or when stop is set (checked every 100 ms).
bool wait_ready(int fd, short events, steady::time_point deadline, const std::atomic<bool> &stop) {
    while (!stop) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

// Connects within timeout_ms; the socket, or -1 with a reason.
int connect_to(const std::string &host, int port, int timeout_ms, const std::atomic<bool> &stop, std::string &why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    int r = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (r != 0) {
        why = gai_strerror(r);
        return -1;
    }
    int fd = -1;
    why = "no address";
    auto deadline = steady::now() + std::chrono::milliseconds(timeout_ms);
    for (addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            why = system_error(errno);
            continue;
        }
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            int e = errno;
            if (e == EINPROGRESS && wait_ready(fd, POLLOUT, deadline, stop)) {
                int err = 0;
                socklen_t len = sizeof err;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                e = err;
            } else if (e == EINPROGRESS) {
                e = ETIMEDOUT;
            }
            if (e != 0) {
                why = system_error(e);
                close(fd);
                fd = -1;
            }
        }
    }
    freeaddrinfo(found);
    return fd;
}

// Sends all of data, waiting at most until the deadline.
bool send_all(int fd, const uint8_t *data, size_t size, steady::time_point deadline, const std::atomic<bool> &stop,
              std::string &why) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait_ready(fd, POLLOUT, deadline, stop)) {
                why = "the server does not take commands";
                return false;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        why = system_error(errno);
        return false;
    }
    return true;
}

void put_command(std::vector<uint8_t> &out, uint8_t command, uint32_t value) {
    out.push_back(command);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

class rtl_tcp_source final : public sample_source {
   public:
    explicit rtl_tcp_source(const rtl_tcp_settings &s) : settings(s) {
        info_.rate = static_cast<double>(s.rate);
        info_.complex = true;
        info_.live = true;
        limit = s.buffer_frames > 0 ? static_cast<size_t>(s.buffer_frames) : static_cast<size_t>(2 * s.rate);
        name = (s.host.find(':') != std::string::npos ? "[" + s.host + "]" : s.host) + ":" + std::to_string(s.port);
        event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }

    ~rtl_tcp_source() override {
        stop = true;
        if (reader.joinable()) reader.join();
        if (socket_fd >= 0) close(socket_fd);
        if (event >= 0) close(event);
    }

    // The first connection, on the caller's thread; then the reader starts.
    bool start(std::string &error) {
        std::string why;
        if (!connect_once(why)) {
            error = "rtl_tcp " + name + ": " + why;
            return false;
        }
        reader = std::thread([this] { run(); });
        return true;
    }

    const source_info &info() const override { return info_; }

    bool read(std::vector<float> &out, size_t max_frames, int timeout_ms) override {
        std::unique_lock<std::mutex> lock(mutex);
        if (buffer.empty() && !ended && timeout_ms > 0)
            ready.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !buffer.empty() || ended; });
        size_t frames = std::min(max_frames, buffer.size() / 2);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * frames));
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(2 * frames));
        delivered += static_cast<long long>(frames);
        if (buffer.empty() && !ended && event >= 0) {
            uint64_t count;
            [[maybe_unused]] ssize_t r = ::read(event, &count, sizeof count);
        }
        return !(ended && buffer.empty());
    }

    std::vector<source_gap> take_gaps() override {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<source_gap> taken;
        taken.swap(gaps);
        return taken;
    }

    int wait_fd() const override { return event; }

    std::string error() const override {
        std::lock_guard<std::mutex> lock(mutex);
        return failure;
    }

   private:
    bool connect_once(std::string &why) {
        int fd = connect_to(settings.host, settings.port, settings.connect_timeout_ms, stop, why);
        if (fd < 0) return false;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // The dongle's header.
        auto deadline = steady::now() + std::chrono::milliseconds(settings.connect_timeout_ms);
        uint8_t header[12];
        size_t got = 0;
        while (got < sizeof header) {
            ssize_t n = recv(fd, header + got, sizeof header - got, 0);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (wait_ready(fd, POLLIN, deadline, stop)) continue;
                why = "no header from the server";
            } else {
                why = n == 0 ? "the server closed the connection before its header" : system_error(errno);
            }
            close(fd);
            return false;
        }
        if (std::memcmp(header, "RTL0", 4) != 0) {
            why = "not an rtl_tcp server (its header does not start with RTL0)";
            close(fd);
            return false;
        }
        // The tuner type and its number of gains (header + 4, + 8) are not
        // needed: a manual gain is set in tenths of a dB, which the server
        // takes to the tuner's nearest.

        std::vector<uint8_t> commands;
        put_command(commands, 0x02, static_cast<uint32_t>(settings.rate));
        put_command(commands, 0x01, static_cast<uint32_t>(settings.center_hz));
        put_command(commands, 0x05, static_cast<uint32_t>(settings.ppm));
        put_command(commands, 0x03, settings.automatic_gain ? 0 : 1);
        if (!settings.automatic_gain)
            put_command(commands, 0x04,
                        static_cast<uint32_t>(static_cast<int32_t>(std::lround(settings.gain_db * 10))));
        put_command(commands, 0x08, 0);
        if (!send_all(fd, commands.data(), commands.size(), deadline, stop, why)) {
            close(fd);
            return false;
        }
        socket_fd = fd;
        half = -1;
        return true;
    }

    void push(const uint8_t *bytes, size_t size) {
        std::lock_guard<std::mutex> lock(mutex);
        bool was_empty = buffer.empty();
        size_t at = 0;
        if (half >= 0 && size > 0) {
            pending.push_back(static_cast<float>(half));
            pending.push_back(static_cast<float>(bytes[0]));
            half = -1;
            at = 1;
        }
        for (; at + 1 < size; at += 2) {
            pending.push_back(static_cast<float>(bytes[at]));
            pending.push_back(static_cast<float>(bytes[at + 1]));
        }
        if (at < size) half = bytes[at];
        size_t room = 2 * limit > buffer.size() ? (2 * limit - buffer.size()) / 2 : 0;
        size_t frames = pending.size() / 2;
        size_t keep = std::min(frames, room);
        for (size_t k = 0; k < 2 * keep; ++k) buffer.push_back((pending[k] - 127.5f) / 127.5f);
        received += static_cast<long long>(keep);
        if (keep < frames)
            // The caller fell behind: the newest frames are dropped, counted
            // in one gap for a run of drops.
            dropped += static_cast<long long>(frames - keep);
        else
            report_overrun();
        pending.clear();
        if (was_empty && !buffer.empty()) notify();
    }

    void report_overrun() {
        if (dropped == 0) return;
        gaps.push_back({received, "input overrun: " + std::to_string(dropped) + " samples from " + name +
                                      " dropped (the decoders fell behind)"});
        dropped = 0;
    }

    void notify() {
        if (event >= 0) {
            uint64_t one = 1;
            [[maybe_unused]] ssize_t r = write(event, &one, sizeof one);
        }
        ready.notify_all();
    }

    void finish(const std::string &why) {
        std::lock_guard<std::mutex> lock(mutex);
        failure = why;
        ended = true;
        notify();
    }

    // The reader thread: reads until the connection is lost, then retries.
    void run() {
        std::vector<uint8_t> chunk(65536);
        while (!stop) {
            std::string lost;
            while (!stop) {
                pollfd p{socket_fd, POLLIN, 0};
                int r = poll(&p, 1, 100);
                if (r < 0 && errno != EINTR) {
                    lost = system_error(errno);
                    break;
                }
                if (r <= 0) continue;
                ssize_t n = recv(socket_fd, chunk.data(), chunk.size(), 0);
                if (n > 0) {
                    push(chunk.data(), static_cast<size_t>(n));
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
                lost = n == 0 ? "closed by the server" : system_error(errno);
                break;
            }
            close(socket_fd);
            socket_fd = -1;
            if (stop) return;
            long long at;
            {
                std::lock_guard<std::mutex> lock(mutex);
                report_overrun();
                at = received;
                half = -1;
            }
            auto since = steady::now();
            int backoff = std::max(1, settings.first_backoff_ms);
            std::string why;
            bool back = false;
            for (int attempt = 0; attempt < settings.attempts && !stop; ++attempt) {
                auto until = steady::now() + std::chrono::milliseconds(backoff);
                while (!stop && steady::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (stop) return;
                if (connect_once(why)) {
                    back = true;
                    break;
                }
                backoff = std::min(settings.max_backoff_ms, backoff * 2);
            }
            if (!back) {
                finish("connection to " + name + " lost (" + lost + "); " + std::to_string(settings.attempts) +
                       " attempts to reconnect failed (" + why + ")");
                return;
            }
            double seconds = std::chrono::duration<double>(steady::now() - since).count();
            char shown[32];
            std::snprintf(shown, sizeof shown, "%.1f", seconds);
            std::lock_guard<std::mutex> lock(mutex);
            gaps.push_back({at, "connection to " + name + " lost (" + lost + "); reconnected after " + shown + " s"});
        }
    }

    rtl_tcp_settings settings;
    source_info info_;
    std::string name;
    std::atomic<bool> stop{false};
    std::thread reader;
    int socket_fd = -1;
    int event = -1;

    mutable std::mutex mutex;
    std::condition_variable ready;
    std::deque<float> buffer;  // floats, I/Q interleaved
    size_t limit = 0;          // frames the buffer holds at most
    std::vector<float> pending;
    int half = -1;            // an I byte whose Q has not come yet
    long long delivered = 0;  // frames handed to the caller
    long long received = 0;   // frames put in the buffer
    long long dropped = 0;    // frames dropped since the last overrun gap
    std::vector<source_gap> gaps;
    bool ended = false;
    std::string failure;
};

}  // namespace

bool parse_host_port(std::string_view text, std::string &host, int &port, std::string &error) {
    std::string_view h, p;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "--rtl-tcp wants HOST:PORT ([ADDRESS]:PORT for IPv6)";
            return false;
        }
        h = text.substr(1, close - 1);
        p = text.substr(close + 2);
    } else {
        size_t colon = text.rfind(':');
        if (colon == std::string_view::npos || text.find(':') != colon) {
            error = "--rtl-tcp wants HOST:PORT ([ADDRESS]:PORT for IPv6)";
            return false;
        }
        h = text.substr(0, colon);
        p = text.substr(colon + 1);
    }
    if (h.empty() || h.size() > 253) {
        error = "--rtl-tcp: no host before the port";
        return false;
    }
    for (char c : h)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            error = "--rtl-tcp: bad host name";
            return false;
        }
    long value = 0;
    for (char c : p) {
        if (c < '0' || c > '9' || value > 65535) {
            value = -1;
            break;
        }
        value = value * 10 + (c - '0');
    }
    if (p.empty() || value < 1 || value > 65535) {
        error = "--rtl-tcp: the port must be 1..65535";
        return false;
    }
    host = std::string(h);
    port = static_cast<int>(value);
    return true;
}

std::unique_ptr<sample_source> open_rtl_tcp(const rtl_tcp_settings &settings, std::string &error) {
    if (settings.rate < 225001 || settings.rate > 3200000 || settings.center_hz <= 0 ||
        settings.center_hz > 0xffffffffLL) {
        error = "rtl_tcp: the dongle takes rates of 225001 to 3200000 samples/s and centres up to 4.29 GHz";
        return nullptr;
    }
    if (!settings.automatic_gain && !(settings.gain_db >= -20 && settings.gain_db <= 70)) {
        error = "rtl_tcp: --gain must be -20..70 dB (the tuner takes its nearest)";
        return nullptr;
    }
    if (settings.ppm < -1000 || settings.ppm > 1000) {
        error = "rtl_tcp: --ppm must be within -1000..1000";
        return nullptr;
    }
    auto source = std::make_unique<rtl_tcp_source>(settings);
    if (!source->start(error)) return nullptr;
    return source;
}
