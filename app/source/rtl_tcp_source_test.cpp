// SPDX-License-Identifier: MIT
#include "rtl_tcp_source.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

// An rtl_tcp server on loopback for the test: for each connection in its
// script it sends the dongle's header, records the commands it receives
// (read for a while before it plays), plays its part of the capture and
// then either drops the connection or holds it open until told to stop.
// After the last connection it stops listening.
class fake_server {
   public:
    struct connection {
        bytes play;
        bool hold = false;  // keep the connection open after playing
    };

    fake_server(std::vector<connection> script, size_t commands_expected, bytes header = default_header())
        : script(std::move(script)), expected(commands_expected), header(std::move(header)) {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        EXPECT_EQ(listen(listener, 4), 0);
        socklen_t len = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        worker = std::thread([this] { serve(); });
    }

    ~fake_server() {
        stop = true;
        if (worker.joinable()) worker.join();
        if (listener >= 0) close(listener);
    }

    static bytes default_header() { return {'R', 'T', 'L', '0', 0, 0, 0, 5, 0, 0, 0, 29}; }

    std::vector<bytes> commands() {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    int port = 0;
    std::atomic<bool> stop{false};

   private:
    void serve() {
        for (const connection &c : script) {
            pollfd p{listener, POLLIN, 0};
            while (!stop && poll(&p, 1, 50) <= 0) {
            }
            if (stop) return;
            int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            send(fd, header.data(), header.size(), MSG_NOSIGNAL);
            bytes got;
            auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (got.size() < 5 * expected && std::chrono::steady_clock::now() < until) {
                pollfd q{fd, POLLIN, 0};
                if (poll(&q, 1, 50) <= 0) continue;
                uint8_t b[256];
                ssize_t n = recv(fd, b, sizeof b, 0);
                if (n <= 0) break;
                got.insert(got.end(), b, b + n);
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                received.push_back(got);
            }
            for (size_t at = 0; at < c.play.size();) {
                ssize_t n = send(fd, c.play.data() + at, std::min<size_t>(4099, c.play.size() - at), MSG_NOSIGNAL);
                if (n <= 0) break;
                at += static_cast<size_t>(n);
            }
            while (c.hold && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            shutdown(fd, SHUT_RDWR);
            close(fd);
        }
        close(listener);
        listener = -1;
    }

    std::vector<connection> script;
    size_t expected;
    bytes header;
    int listener = -1;
    std::thread worker;
    std::mutex mutex;
    std::vector<bytes> received;
};

bytes capture(size_t size, unsigned seed) {
    bytes b(size);
    for (size_t n = 0; n < size; ++n) b[n] = static_cast<uint8_t>((n * 37 + seed * 11 + n / 300) & 0xff);
    return b;
}

rtl_tcp_settings quick(int port) {
    rtl_tcp_settings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.center_hz = 439200000;
    s.rate = 2400000;
    s.automatic_gain = false;
    s.gain_db = 38.6;
    s.ppm = -12;
    s.connect_timeout_ms = 2000;
    s.first_backoff_ms = 20;
    s.max_backoff_ms = 40;
    s.attempts = 3;
    return s;
}

// Reads until the source ends (or 10 s pass), collecting samples and gaps.
struct collected {
    std::vector<float> samples;
    std::vector<source_gap> gaps;
    bool ended = false;
};

collected drain(sample_source &source, size_t max_frames = 4096) {
    collected c;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        bool more = source.read(c.samples, max_frames, 100);
        for (source_gap &g : source.take_gaps()) c.gaps.push_back(g);
        if (!more) {
            c.ended = true;
            break;
        }
    }
    return c;
}

std::vector<float> as_floats(const bytes &b) {
    std::vector<float> f;
    for (uint8_t v : b) f.push_back((static_cast<float>(v) - 127.5f) / 127.5f);
    return f;
}

// rate 2400000, centre 439.2 MHz, ppm -12, manual gain, 38.6 dB, AGC off.
const bytes expected_commands = {0x02, 0x00, 0x24, 0x9f, 0x00, 0x01, 0x1a, 0x2d, 0xa9, 0x00,
                                 0x05, 0xff, 0xff, 0xff, 0xf4, 0x03, 0x00, 0x00, 0x00, 0x01,
                                 0x04, 0x00, 0x00, 0x01, 0x82, 0x08, 0x00, 0x00, 0x00, 0x00};

}  // namespace

TEST(RtlTcpSource, CommandsStreamReconnectionAndGap) {
    // 20000 frames, then the server drops the connection; 30000 more (the
    // first part ends on half a frame: its last byte is lost with it).
    bytes first = capture(40001, 1), second = capture(60000, 2);
    fake_server server({{first}, {second}}, 6);
    std::string error;
    std::unique_ptr<sample_source> source = open_rtl_tcp(quick(server.port), error);
    ASSERT_TRUE(source) << error;
    EXPECT_TRUE(source->info().complex);
    EXPECT_TRUE(source->info().live);
    EXPECT_EQ(source->info().rate, 2400000);
    EXPECT_GE(source->wait_fd(), 0);

    collected c = drain(*source, 3000);
    EXPECT_TRUE(c.ended);
    std::vector<float> want = as_floats(bytes(first.begin(), first.end() - 1));
    std::vector<float> rest = as_floats(second);
    want.insert(want.end(), rest.begin(), rest.end());
    ASSERT_EQ(c.samples.size(), want.size());
    EXPECT_TRUE(c.samples == want);
    EXPECT_FLOAT_EQ(as_floats({0})[0], -1.0f);
    EXPECT_FLOAT_EQ(as_floats({255})[0], 1.0f);

    // The same commands on both connections.
    std::vector<bytes> commands = server.commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], expected_commands);
    EXPECT_EQ(commands[1], expected_commands);

    // One gap, where the first connection ended; then the end, with why.
    ASSERT_EQ(c.gaps.size(), 1u);
    EXPECT_EQ(c.gaps[0].at, 20000);
    EXPECT_NE(c.gaps[0].what.find("127.0.0.1:" + std::to_string(server.port) + " lost (closed by the server)"),
              std::string::npos)
        << c.gaps[0].what;
    EXPECT_NE(c.gaps[0].what.find("reconnected after"), std::string::npos) << c.gaps[0].what;
    EXPECT_NE(source->error().find("3 attempts to reconnect failed"), std::string::npos) << source->error();
    EXPECT_EQ(c.gaps[0].what.find('\n'), std::string::npos);
}

TEST(RtlTcpSource, AutomaticGainSendsNoGainValue) {
    fake_server server({{capture(1000, 3)}}, 5);
    rtl_tcp_settings s = quick(server.port);
    s.automatic_gain = true;
    s.ppm = 3;
    s.center_hz = 145000000;
    s.rate = 1024000;
    std::string error;
    std::unique_ptr<sample_source> source = open_rtl_tcp(s, error);
    ASSERT_TRUE(source) << error;
    drain(*source);
    std::vector<bytes> commands = server.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], (bytes{0x02, 0x00, 0x0f, 0xa0, 0x00, 0x01, 0x08, 0xa4, 0x86, 0x40, 0x05, 0x00, 0x00,
                                  0x00, 0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00}));
}

TEST(RtlTcpSource, ReadNeverWaitsLongerThanItsTimeout) {
    fake_server server({{bytes{}, true}}, 6);
    std::string error;
    std::unique_ptr<sample_source> source = open_rtl_tcp(quick(server.port), error);
    ASSERT_TRUE(source) << error;
    for (int timeout : {0, 30, 200}) {
        std::vector<float> out;
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(source->read(out, 1000, timeout));
        double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(out.empty());
        EXPECT_GE(took, timeout * 0.9);
        EXPECT_LT(took, timeout + 100.0);
    }
    server.stop = true;
    // The source's destructor stops its reader at once, though the server
    // is still retried.
}

TEST(RtlTcpSource, OverrunDropsTheNewestAndSaysSo) {
    // 50000 frames into a buffer of 10000 that nobody reads for a while.
    bytes play = capture(100000, 4);
    fake_server server({{play, true}}, 6);
    rtl_tcp_settings s = quick(server.port);
    s.buffer_frames = 10000;
    std::string error;
    std::unique_ptr<sample_source> source = open_rtl_tcp(s, error);
    ASSERT_TRUE(source) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<float> out;
    source->read(out, 100000, 100);
    EXPECT_EQ(out.size(), 20000u);
    EXPECT_TRUE(out == as_floats(bytes(play.begin(), play.begin() + 20000)));
    server.stop = true;
    collected c = drain(*source);
    ASSERT_FALSE(c.gaps.empty());
    EXPECT_EQ(c.gaps[0].at, 10000);
    EXPECT_NE(c.gaps[0].what.find("input overrun: 40000 samples"), std::string::npos) << c.gaps[0].what;
}

TEST(RtlTcpSource, FirstConnectionFailuresAreOneLine) {
    // A port nobody listens on: bind one and close it.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    int closed_port = ntohs(a.sin_port);
    close(fd);
    std::string error;
    EXPECT_FALSE(open_rtl_tcp(quick(closed_port), error));
    EXPECT_NE(error.find("refused"), std::string::npos) << error;

    // A server that is not rtl_tcp.
    fake_server wrong({{bytes{}}}, 0, bytes{'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '2', '0', '0'});
    error.clear();
    EXPECT_FALSE(open_rtl_tcp(quick(wrong.port), error));
    EXPECT_NE(error.find("not an rtl_tcp server"), std::string::npos) << error;

    rtl_tcp_settings bad = quick(1);
    bad.rate = 10000000;
    EXPECT_FALSE(open_rtl_tcp(bad, error));
    EXPECT_NE(error.find("rates"), std::string::npos);
    bad = quick(1);
    bad.gain_db = NAN;
    EXPECT_FALSE(open_rtl_tcp(bad, error));
    EXPECT_NE(error.find("--gain"), std::string::npos) << error;
    bad = quick(1);
    bad.ppm = 5000;
    EXPECT_FALSE(open_rtl_tcp(bad, error));
    EXPECT_NE(error.find("--ppm"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(RtlTcpSource, HostAndPort) {
    struct row {
        const char *text;
        const char *host;
        int port;
    } good[] = {{"127.0.0.1:1234", "127.0.0.1", 1234}, {"localhost:65535", "localhost", 65535}, {"[::1]:1", "::1", 1}};
    for (const row &r : good) {
        std::string host, error;
        int port = 0;
        EXPECT_TRUE(parse_host_port(r.text, host, port, error)) << r.text << ": " << error;
        EXPECT_EQ(host, r.host);
        EXPECT_EQ(port, r.port);
    }
    for (const char *text : {"", "localhost", ":1234", "localhost:", "localhost:0", "localhost:65536", "h:12a", "h:-1",
                             "::1:1234", "[::1]1234", "[::1]", "a b:1", "h:99999999999999999999"}) {
        std::string host, error;
        int port = 0;
        EXPECT_FALSE(parse_host_port(text, host, port, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}
