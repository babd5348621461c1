// SPDX-License-Identifier: MIT
#include "http_sink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

struct address_case {
    const char *text;
    bool ok;
    const char *address;
    int port;
};

TEST(HttpOptions, AddressForms) {
    const address_case cases[] = {
        {"8073", true, "127.0.0.1", 8073},
        {"0", true, "127.0.0.1", 0},
        {"0.0.0.0:80", true, "0.0.0.0", 80},
        {"192.168.1.5:8073", true, "192.168.1.5", 8073},
        {"[::1]:8073", true, "::1", 8073},
        {"localhost:9000", true, "localhost", 9000},
        {"65536", false, "", 0},
        {"-1", false, "", 0},
        {"80x", false, "", 0},
        {"", false, "", 0},
        {":8073", false, "", 0},
        {"127.0.0.1:", false, "", 0},
        {"127.0.0.1:99999999999", false, "", 0},
    };
    for (const address_case &c : cases) {
        http_options o;
        std::string error;
        EXPECT_EQ(parse_http_address(c.text, o, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(o.address, c.address) << c.text;
            EXPECT_EQ(o.port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(error.find('\n'), std::string::npos);
        }
    }
}

TEST(HttpOptions, ReachableAddressNeedsPasswordOrOpen) {
    http_options o;
    std::string error;
    ASSERT_TRUE(parse_http_address("0.0.0.0:8073", o, error));
    EXPECT_NE(check_http_options(o).find("--http-auth"), std::string::npos);
    o.open = true;
    EXPECT_EQ(check_http_options(o), "");
    o.open = false;
    ASSERT_TRUE(parse_http_auth("op:secret:with:colons", o, error));
    EXPECT_EQ(o.user, "op");
    EXPECT_EQ(o.password, "secret:with:colons");
    EXPECT_EQ(check_http_options(o), "");
    EXPECT_FALSE(parse_http_auth("nocolon", o, error));
    EXPECT_FALSE(parse_http_auth(":pw", o, error));

    http_options loop;
    ASSERT_TRUE(parse_http_address("127.0.0.2:1", loop, error));
    EXPECT_EQ(check_http_options(loop), "");
}

TEST(HttpOptions, CommandLine) {
    struct arguments_case {
        std::vector<std::string> argv;
        int used;
    };
    const arguments_case cases[] = {
        {{"--http", "8073"}, 2},
        {{"--http=0.0.0.0:80"}, 1},
        {{"--http-auth", "op:pw"}, 2},
        {{"--http-open"}, 1},
        {{"--map-tiles=http://t.example/{z}/{x}/{y}.png"}, 1},
        {{"--json"}, 0},
        {{"--httpx", "1"}, 0},
        {{"--http"}, -1},
        {{"--http", "port"}, -1},
        {{"--http-open=yes"}, -1},
        {{"--http-auth", "nocolon"}, -1},
    };
    for (const arguments_case &c : cases) {
        std::vector<char *> argv;
        for (const std::string &a : c.argv) argv.push_back(const_cast<char *>(a.c_str()));
        http_options o;
        std::string error;
        EXPECT_EQ(take_http_argument(static_cast<int>(argv.size()), argv.data(), 0, o, error), c.used) << c.argv[0];
        EXPECT_EQ(error.empty(), c.used >= 0) << c.argv[0];
    }
    std::vector<std::string> args = {"zelvane",           "--http",      "0.0.0.0:8073",
                                     "--http-auth=op:pw", "--map-tiles", "https://{s}.t.example/{z}/{x}/{y}.png"};
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    http_options o;
    std::string error;
    for (int i = 1; i < static_cast<int>(argv.size());) {
        int used = take_http_argument(static_cast<int>(argv.size()), argv.data(), i, o, error);
        ASSERT_GT(used, 0) << argv[i];
        i += used;
    }
    EXPECT_EQ(o.address, "0.0.0.0");
    EXPECT_EQ(o.port, 8073);
    EXPECT_EQ(o.user, "op");
    EXPECT_EQ(o.map_tiles, "https://{s}.t.example/{z}/{x}/{y}.png");
    EXPECT_EQ(check_http_options(o), "");
}

TEST(HttpOptions, TileUrlsThatCannotEscapeThePolicy) {
    const std::pair<const char *, const char *> origins[] = {
        {"https://tile.openstreetmap.org/{z}/{x}/{y}.png", "https://tile.openstreetmap.org"},
        {"http://{s}.tiles.example:8080/{z}/{x}/{y}.png", "http://*.tiles.example:8080"},
        {"http://127.0.0.1:9/t/{z}/{x}/{y}", "http://127.0.0.1:9"},
        {"file:///etc/{z}/{x}/{y}", ""},
        {"javascript:alert(1)", ""},
        {"https://user@host/{z}/{x}/{y}", ""},
    };
    for (auto &[url, origin] : origins) EXPECT_EQ(tile_origin(url), origin) << url;

    const char *bad[] = {
        "https://a.example/{z}/{x}/{y}.png; script-src *",
        "https://a.example/{z}/{x}/{y}.png 'unsafe-inline'",
        "https://a.example/{z}/{x}.png",
        "ftp://a.example/{z}/{x}/{y}.png",
        "https://a.example/{z}/{x}/{y}\".png",
    };
    for (const char *url : bad) {
        http_options o;
        o.port = 1;
        o.map_tiles = url;
        EXPECT_NE(check_http_options(o), "") << url;
    }
}

event dmr_call(uint64_t call_id, long source, int slot = 1) {
    event e;
    e.protocol = event_protocol::dmr;
    e.kind = event_kind::call;
    e.call_id = call_id;
    e.slot = slot;
    e.type = "group";
    e.source = source;
    e.target = 9;
    return e;
}

// A sink on a free loopback port with a client for it.
struct served {
    std::filesystem::path dir;
    std::unique_ptr<http_sink> sink;
    std::unique_ptr<httplib::Client> client;

    explicit served(http_options o = {}) {
        dir = std::filesystem::temp_directory_path() /
              ("http_sink_test_" + std::to_string(getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::create_directories(dir / "speech");
        o.port = 0;
        o.audio_dir = (dir / "speech").string();
        std::string error;
        sink = make_http_sink(o, error);
        if (!sink) throw std::runtime_error(error);
        client = std::make_unique<httplib::Client>("127.0.0.1", sink->port());
        client->set_read_timeout(5, 0);
    }
    ~served() {
        sink.reset();
        std::filesystem::remove_all(dir);
    }
    static int &counter() {
        static int n = 0;
        return n;
    }
    int status(const std::string &path) {
        auto res = client->Get(path);
        return res ? res->status : -1;
    }
};

std::vector<std::string> lines_of(const std::string &body) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < body.size()) {
        size_t nl = body.find('\n', at);
        if (nl == std::string::npos) nl = body.size();
        out.push_back(body.substr(at, nl - at));
        at = nl + 1;
    }
    return out;
}

TEST(HttpSink, EventsAsJsonLinesWithSequenceAndCall) {
    served s;
    event a = dmr_call(7, 2620001);
    a.alias = "DL1ABC";
    s.sink->take(a);
    event rep;
    rep.protocol = event_protocol::pocsag;
    rep.kind = event_kind::page_repeat;
    s.sink->take(rep);  // counted on the page's row, not reported
    event sig;
    sig.kind = event_kind::signal;
    sig.summary = "base station, colour code 1";
    sig.extra.push_back({"site", event_field::form::raw, "{\"id\":\n3}"});  // a line break must not split the line
    s.sink->take(sig);

    auto res = s.client->Get("/api/events");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/x-ndjson");
    auto lines = lines_of(res->body);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "{\"protocol\":\"DMR\",\"event\":\"call\",\"time\":0.000,\"slot\":1,\"type\":\"group\",\"source\":2620001,"
        "\"target\":9,\"alias\":\"DL1ABC\",\"call_id\":7,\"seq\":1}");
    EXPECT_NE(lines[1].find("\"site\":{\"id\": 3},\"summary\":\"base station, colour code 1\",\"seq\":2}"),
              std::string::npos);

    res = s.client->Get("/api/events?since=1");
    ASSERT_TRUE(res);
    ASSERT_EQ(lines_of(res->body).size(), 1u);
    EXPECT_NE(res->body.find("\"seq\":2}"), std::string::npos);
    res = s.client->Get("/api/events?since=2");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "");
}

TEST(HttpSink, HistoryKeepsTheNewest) {
    http_options o;
    o.history = 5;
    served s(o);
    for (int i = 1; i <= 12; i++) {
        event e = dmr_call(static_cast<uint64_t>(i), i);
        s.sink->take(e);
    }
    auto res = s.client->Get("/api/events");
    ASSERT_TRUE(res);
    auto lines = lines_of(res->body);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines.front().find("\"seq\":8}"), std::string::npos);
    EXPECT_NE(lines.back().find("\"seq\":12}"), std::string::npos);
}

TEST(HttpSink, BadRequestsGetClean4xx) {
    served s;
    const std::pair<std::string, int> cases[] = {
        {"/nothing-here", 404},
        {"/api/nothing", 404},
        {"/api/calls/abc/audio", 404},
        {"/api/calls/-1/audio", 404},
        {"/api/calls/123/audio", 404},
        {"/api/calls/99999999999999999999/audio", 404},  // past 64 bits
        {"/api/calls/123456789012345678901/audio", 404},
        {"/api/calls/../../etc/passwd", 400},
        {"/api/calls/%2e%2e/%2e%2e/etc/passwd", 400},
        {"/..%2f..%2fetc%2fpasswd", 400},
        {"/api/events?since=abc", 400},
        {"/api/events?since=-3", 400},
        {"/api/stream?since=1x", 400},
        {"/" + std::string(10000, 'a'), 414},
    };
    for (auto &[path, status] : cases) {
        auto res = s.client->Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, status) << path;
        EXPECT_FALSE(res->body.empty()) << path;
        EXPECT_EQ(res->body.find('<'), std::string::npos) << path;
    }
    auto post = s.client->Post("/api/events", std::string(100, 'x'), "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    auto big = s.client->Post("/api/events", std::string(100000, 'x'), "text/plain");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    httplib::Headers huge = {{"X-Filler", std::string(20000, 'y')}};
    auto res = s.client->Get("/", huge);
    EXPECT_TRUE(!res || (res->status >= 400 && res->status < 500));
    // The server still serves after all of them.
    EXPECT_EQ(s.status("/api/events"), 200);
}

TEST(HttpSink, PageAndItsSecurityPolicy) {
    http_options o;
    o.map_tiles = "https://{s}.tiles.example/{z}/{x}/{y}.png";
    served s(o);
    for (const char *path : {"/", "/index.html", "/monitor.js", "/monitor.css"}) {
        auto res = s.client->Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 200) << path;
        EXPECT_GT(res->body.size(), 100u) << path;
        std::string csp = res->get_header_value("Content-Security-Policy");
        EXPECT_NE(csp.find("script-src 'self';"), std::string::npos);
        EXPECT_NE(csp.find("img-src 'self' data: https://*.tiles.example;"), std::string::npos);
        EXPECT_EQ(csp.find("unsafe"), std::string::npos);
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff");
    }
    auto config = s.client->Get("/api/config");
    ASSERT_TRUE(config);
    EXPECT_NE(config->body.find("\"map_tiles\":\"https://{s}.tiles.example/{z}/{x}/{y}.png\""), std::string::npos);
}

TEST(HttpSink, ServesOnlyTheSpeechFilesCallEndsNamed) {
    served s;
    std::string wav = "RIFF....WAVEfmt data" + std::string(50000, '\x01');
    std::ofstream(s.dir / "speech" / "call-7.wav", std::ios::binary) << wav;
    std::ofstream(s.dir / "secret.wav", std::ios::binary) << "secret";

    auto end_of = [](uint64_t id, const std::string &audio) {
        event e = dmr_call(id, 1);
        e.kind = event_kind::call_end;
        e.audio = audio;
        return e;
    };
    for (event e : {end_of(7, "call-7.wav"), end_of(8, "../secret.wav"), end_of(9, "/etc/passwd"),
                    end_of(10, ".hidden"), end_of(11, "missing.wav"), end_of(12, "")})
        s.sink->take(e);

    auto res = s.client->Get("/api/calls/7/audio");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "audio/wav");
    EXPECT_EQ(res->body, wav);
    for (int id : {8, 9, 10, 11, 12}) EXPECT_EQ(s.status("/api/calls/" + std::to_string(id) + "/audio"), 404) << id;
}

TEST(HttpSink, BasicAuthGuardsEveryRoute) {
    http_options o;
    o.user = "op";
    o.password = "s3cret";
    served s(o);
    for (const char *path : {"/", "/api/events", "/api/stream", "/api/calls/1/audio", "/nothing"}) {
        auto res = s.client->Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << path;
        EXPECT_NE(res->get_header_value("WWW-Authenticate").find("Basic"), std::string::npos);
    }
    s.client->set_basic_auth("op", "wrong");
    EXPECT_EQ(s.status("/api/events"), 401);
    s.client->set_basic_auth("op", "s3cret");
    EXPECT_EQ(s.status("/api/events"), 200);
}

// Reads a live stream on a thread of its own until it has seen `until`.
struct stream_reader {
    std::string received;
    std::mutex m;
    std::atomic<bool> stop{false};
    httplib::Client client;
    std::thread t;
    int status = 0;

    stream_reader(int port, const std::string &path, httplib::Headers headers = {}) : client("127.0.0.1", port) {
        client.set_read_timeout(10, 0);
        t = std::thread([this, path, headers] {
            auto res = client.Get(path, headers, [&](const char *data, size_t n) {
                std::lock_guard lock(m);
                received.append(data, n);
                return !stop.load();
            });
            if (res) status = res->status;
        });
    }
    bool wait_for(const std::string &text, double seconds = 5) {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            {
                std::lock_guard lock(m);
                if (received.find(text) != std::string::npos) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    ~stream_reader() {
        stop = true;
        client.stop();
        t.join();
    }
};

TEST(HttpSink, StreamCatchesUpThenFollowsLive) {
    served s;
    event first = dmr_call(1, 111);
    s.sink->take(first);
    stream_reader all(s.sink->port(), "/api/stream");
    stream_reader later(s.sink->port(), "/api/stream?since=1");
    // A page's EventSource reconnects with the last id it saw.
    stream_reader reconnected(s.sink->port(), "/api/stream", {{"Last-Event-ID", "1"}});
    ASSERT_TRUE(all.wait_for("id: 1\nevent: event\ndata: {\"protocol\":\"DMR\""));
    event second = dmr_call(2, 222);
    s.sink->take(second);
    EXPECT_TRUE(all.wait_for("\"source\":222"));
    EXPECT_TRUE(later.wait_for("id: 2\n"));
    EXPECT_TRUE(reconnected.wait_for("id: 2\n"));
    s.sink->finish(false);
    EXPECT_TRUE(all.wait_for("event: end\n"));
    EXPECT_TRUE(s.sink->wants_to_linger());
    for (stream_reader *r : {&later, &reconnected}) {
        std::lock_guard lock(r->m);
        EXPECT_EQ(r->received.find("\"source\":111"), std::string::npos);
    }
}

TEST(HttpSink, SpeechStreamCarriesTheSamples) {
    served s;
    int16_t samples[3] = {1, -2, 0x1234};
    s.sink->speech(5, samples, 3);  // nobody listens: nothing kept
    stream_reader speech(s.sink->port(), "/api/speech");
    for (int i = 0; i < 200 && s.sink->counts().streams_open < 1; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    s.sink->speech(5, samples, 3);
    // 01 00 FE FF 34 12 in base64
    EXPECT_TRUE(speech.wait_for("event: speech\ndata: 5 AQD+/zQS\n\n"));
}

TEST(HttpSink, TooManyStreamsAreRefused) {
    http_options o;
    o.max_streams = 2;
    served s(o);
    stream_reader a(s.sink->port(), "/api/stream"), b(s.sink->port(), "/api/speech");
    for (int i = 0; i < 200 && s.sink->counts().streams_open < 2; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(s.sink->counts().streams_open, 2u);
    EXPECT_EQ(s.status("/api/stream"), 503);
    EXPECT_EQ(s.status("/api/events"), 200);  // ordinary requests still go through
}

// A peer that asks for the stream and never reads: its socket buffers fill,
// the server's writes to it block, and its queue overflows.
int stalled_stream(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) return -1;
    std::string request = "GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n";
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return -1;
    return fd;
}

TEST(HttpSink, StalledClientIsDroppedAndNeverHoldsBackTake) {
    http_options o;
    o.client_queue_events = 500;
    served s(o);
    int fd = stalled_stream(s.sink->port());
    ASSERT_GE(fd, 0);
    stream_reader live(s.sink->port(), "/api/stream");
    for (int i = 0; i < 200 && s.sink->counts().streams_open < 2; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(s.sink->counts().streams_open, 2u);

    double slowest = 0;
    const int n = 20000;
    for (int i = 1; i <= n; i++) {
        event e = dmr_call(static_cast<uint64_t>(i), i);
        e.alias = std::string(600, 'A');  // a long event fills the stalled socket sooner
        auto t0 = std::chrono::steady_clock::now();
        s.sink->take(e);
        slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        // A live page reads as fast as the events come; spacing them a
        // little lets the reader keep up while the stalled peer cannot.
        if (i % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_LT(slowest, 0.1) << "take() waited on a client";
    EXPECT_GE(s.sink->counts().clients_dropped, 1u);
    EXPECT_TRUE(live.wait_for("\"source\":" + std::to_string(n) + ","));
    close(fd);
}

}  // namespace
