// SPDX-License-Identifier: MIT
#include "http_sink.h"

#include <httplib.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "event_forms.h"
#include "received_text.h"
#include "web_assets.h"

namespace {

// One item of a live stream: an event (with its sequence number), the end
// of the input, or a piece of speech.
struct stream_item {
    const char *name;  // the SSE event name: "event", "end", "speech"
    uint64_t seq;      // 0: no id line
    std::string data;  // one line
};
using item_ptr = std::shared_ptr<const stream_item>;

struct stream_client {
    std::mutex m;
    std::condition_variable cv;
    std::vector<item_ptr> backlog;  // kept events it asked to catch up on
    size_t backlog_sent = 0;
    std::deque<item_ptr> queue;  // what arrived since it connected
    size_t bytes = 0;
    bool dropped = false;
};

// A fixed pool of workers with a bounded list of accepted connections
// waiting for one: when it is full the accepting thread waits, and further
// connections wait in the kernel's listen backlog instead of in memory.
class bounded_pool : public httplib::TaskQueue {
   public:
    bounded_pool(size_t threads, size_t waiting) : limit_(waiting) {
        for (size_t i = 0; i < threads; i++) workers_.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(m_);
        room_.wait(lock, [&] { return jobs_.size() < limit_ || shutdown_; });
        jobs_.push_back(std::move(fn));
        ready_.notify_one();
    }
    void shutdown() override {
        {
            std::lock_guard lock(m_);
            shutdown_ = true;
        }
        ready_.notify_all();
        room_.notify_all();
        for (std::thread &t : workers_) t.join();
    }

   private:
    void work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_);
                ready_.wait(lock, [&] { return !jobs_.empty() || shutdown_; });
                if (jobs_.empty()) return;
                fn = std::move(jobs_.front());
                jobs_.pop_front();
                room_.notify_one();
            }
            fn();
        }
    }
    std::mutex m_;
    std::condition_variable ready_, room_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> workers_;
    size_t limit_;
    bool shutdown_ = false;
};

std::string json_string(const std::string &text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    std::string valid = as_utf8(text);
    w.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string base64(const unsigned char *data, size_t size) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (i + 1 < size) v |= uint32_t(data[i + 1]) << 8;
        if (i + 2 < size) v |= data[i + 2];
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < size ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < size ? digits[v & 63] : '=';
    }
    return out;
}

// A number from a query or header: decimal digits only.
bool parse_u64(const std::string &text, uint64_t &value) {
    if (text.empty() || text.size() > 20) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// A file name a call-end may name: one plain name in the audio folder.
bool plain_file_name(const std::string &name) {
    if (name.empty() || name.size() > 255 || name[0] == '.') return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '\0') return false;
    }
    return true;
}

bool constant_time_equal(const std::string &a, const std::string &b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); i++) diff |= a[i] ^ b[i % (b.empty() ? 1 : b.size())];
    return diff == 0;
}

const char *status_reason(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 416:
            return "Range Not Satisfiable";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
    }
    return status >= 500 ? "Server Error" : "Client Error";
}

void plain_error(httplib::Response &res, int status, const std::string &text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

}  // namespace

struct http_sink::state {
    http_options options;
    httplib::Server server;
    std::thread listener;
    int port = 0;
    std::string authorization;  // the expected Authorization header, empty: none
    std::string config_json;

    std::mutex m;  // history, clients, calls, counts
    std::deque<item_ptr> history;
    size_t history_bytes = 0;
    uint64_t next_seq = 1;
    std::vector<std::shared_ptr<stream_client>> event_clients, speech_clients;
    std::atomic<size_t> speech_listeners{0};
    std::unordered_map<uint64_t, std::string> call_files;  // call id -> file name
    std::deque<uint64_t> call_order;
    http_sink_counts counts;
    bool finished = false, interrupted = false;
    std::atomic<bool> stopping{false};

    // Appends item to each client's queue, dropping the clients that fell
    // too far behind. Called with m held.
    void fan_out(std::vector<std::shared_ptr<stream_client>> &clients, const item_ptr &item) {
        for (const auto &c : clients) {
            std::lock_guard lock(c->m);
            if (c->dropped) continue;
            if (c->queue.size() >= options.client_queue_events ||
                c->bytes + item->data.size() > options.client_queue_bytes) {
                c->dropped = true;
                c->queue.clear();
                c->backlog.clear();
                c->bytes = 0;
                counts.clients_dropped++;
            } else {
                c->queue.push_back(item);
                c->bytes += item->data.size();
            }
            c->cv.notify_one();
        }
    }

    void serve_stream(const httplib::Request &req, httplib::Response &res, bool speech);
};

namespace {

// The SSE form of an item.
void append_sse(std::string &out, const stream_item &item) {
    if (item.seq != 0) out += "id: " + std::to_string(item.seq) + "\n";
    out += "event: ";
    out += item.name;
    out += "\ndata: ";
    out += item.data;
    out += "\n\n";
}

}  // namespace

void http_sink::state::serve_stream(const httplib::Request &req, httplib::Response &res, bool speech) {
    uint64_t since = 0;
    std::string since_text = req.has_param("since") ? req.get_param_value("since") : "";
    if (since_text.empty() && req.has_header("Last-Event-ID")) since_text = req.get_header_value("Last-Event-ID");
    if (!since_text.empty() && !parse_u64(since_text, since)) return plain_error(res, 400, "since: not a number");
    auto client = std::make_shared<stream_client>();
    {
        std::lock_guard lock(m);
        if (event_clients.size() + speech_clients.size() >= options.max_streams) {
            counts.streams_refused++;
            res.set_header("Retry-After", "5");
            return plain_error(res, 503, "too many live streams open");
        }
        if (!speech) {
            for (const item_ptr &item : history)
                if (item->seq > since) client->backlog.push_back(item);
            if (finished) client->backlog.push_back(std::make_shared<stream_item>(stream_item{"end", 0, "{}"}));
            event_clients.push_back(client);
        } else {
            speech_clients.push_back(client);
            speech_listeners = speech_clients.size();
        }
        counts.streams_open = event_clients.size() + speech_clients.size();
    }
    res.set_header("Cache-Control", "no-store");
    state *self = this;
    auto last_write = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    res.set_chunked_content_provider(
        "text/event-stream",
        [self, client, last_write](size_t, httplib::DataSink &sink) {
            std::string out;
            {
                std::unique_lock lock(client->m);
                if (client->backlog_sent >= client->backlog.size())
                    client->cv.wait_for(lock, std::chrono::milliseconds(500),
                                        [&] { return !client->queue.empty() || client->dropped || self->stopping; });
                if (client->dropped || self->stopping) return false;
                // The backlog goes out in pieces, so that a long one neither
                // needs one big buffer nor holds the lock for long.
                size_t n = 0;
                while (client->backlog_sent < client->backlog.size() && n++ < 256)
                    append_sse(out, *client->backlog[client->backlog_sent++]);
                if (client->backlog_sent >= client->backlog.size()) {
                    client->backlog.clear();
                    client->backlog_sent = 0;
                    for (const item_ptr &item : client->queue) append_sse(out, *item);
                    client->queue.clear();
                    client->bytes = 0;
                }
            }
            auto now = std::chrono::steady_clock::now();
            // A comment now and then finds a peer that went away.
            if (out.empty() && now - *last_write > std::chrono::seconds(10)) out = ": still here\n\n";
            if (out.empty()) return true;
            *last_write = now;
            return sink.write(out.data(), out.size());
        },
        [self, client, speech](bool) {
            std::lock_guard lock(self->m);
            auto &list = speech ? self->speech_clients : self->event_clients;
            std::erase(list, client);
            self->speech_listeners = self->speech_clients.size();
            self->counts.streams_open = self->event_clients.size() + self->speech_clients.size();
        });
}

http_sink::~http_sink() {
    if (!state_) return;
    state_->stopping = true;
    {
        std::lock_guard lock(state_->m);
        for (auto *list : {&state_->event_clients, &state_->speech_clients})
            for (const auto &c : *list) {
                std::lock_guard client_lock(c->m);
                c->cv.notify_all();
            }
    }
    state_->server.stop();
    if (state_->listener.joinable()) state_->listener.join();
}

void http_sink::take(event &e) {
    if (e.kind == event_kind::page_repeat) return;
    state &s = *state_;
    std::string json = event_json(e);
    std::string tail;
    if (e.call_id != 0) tail += ",\"call_id\":" + std::to_string(e.call_id);
    if (!e.summary.empty() && !find_extra(e, "summary") &&
        (e.kind == event_kind::signal || e.kind == event_kind::csbk || e.kind == event_kind::data))
        tail += ",\"summary\":" + json_string(e.summary);
    std::lock_guard lock(s.m);
    uint64_t seq = s.next_seq++;
    tail += ",\"seq\":" + std::to_string(seq) + "}";
    if (!json.empty() && json.back() == '}') json.pop_back();
    // An empty object has no key to follow.
    if (json.size() == 1) tail.erase(0, 1);
    // One event is one line of JSON Lines and one SSE data line; only a raw
    // extra value could hold a line break, and JSON reads it as a space.
    for (char &c : json)
        if (c == '\n' || c == '\r') c = ' ';
    auto item = std::make_shared<stream_item>(stream_item{"event", seq, json + tail});
    s.history.push_back(item);
    s.history_bytes += item->data.size();
    // The history is bounded by count and, for events that carry much text,
    // by bytes.
    while (s.history.size() > s.options.history || (s.history_bytes > (64u << 20) && s.history.size() > 1)) {
        s.history_bytes -= s.history.front()->data.size();
        s.history.pop_front();
    }
    s.counts.events++;
    if (e.kind == event_kind::call_end && e.call_id != 0 && plain_file_name(e.audio)) {
        if (s.call_files.emplace(e.call_id, e.audio).second) s.call_order.push_back(e.call_id);
        while (s.call_order.size() > s.options.history) {
            s.call_files.erase(s.call_order.front());
            s.call_order.pop_front();
        }
    }
    s.fan_out(s.event_clients, item);
}

void http_sink::speech(uint64_t call_id, const int16_t *samples, size_t count) {
    state &s = *state_;
    if (s.speech_listeners == 0 || count == 0) return;
    std::vector<unsigned char> bytes(count * 2);
    for (size_t i = 0; i < count; i++) {
        uint16_t v = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = v & 0xff;
        bytes[2 * i + 1] = v >> 8;
    }
    auto item = std::make_shared<stream_item>(
        stream_item{"speech", 0, std::to_string(call_id) + " " + base64(bytes.data(), bytes.size())});
    std::lock_guard lock(s.m);
    s.fan_out(s.speech_clients, item);
}

void http_sink::finish(bool interrupted) {
    state &s = *state_;
    {
        std::lock_guard lock(s.m);
        if (s.finished) return;
        s.finished = true;
        s.interrupted = interrupted;
        s.fan_out(s.event_clients, std::make_shared<stream_item>(stream_item{"end", 0, "{}"}));
    }
    if (wants_to_linger() || interrupted) return;
    // Without lingering, the open pages get a moment to receive what is queued.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < until) {
        bool empty = true;
        {
            std::lock_guard lock(s.m);
            for (const auto &c : s.event_clients) {
                std::lock_guard client_lock(c->m);
                if (!c->dropped && (!c->queue.empty() || c->backlog_sent < c->backlog.size())) empty = false;
            }
        }
        if (empty) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int http_sink::port() const { return state_->port; }

bool http_sink::wants_to_linger() const {
    std::lock_guard lock(state_->m);
    return state_->finished && !state_->interrupted && state_->options.linger;
}

http_sink_counts http_sink::counts() const {
    std::lock_guard lock(state_->m);
    return state_->counts;
}

std::unique_ptr<http_sink> make_http_sink(const http_options &options, std::string &error) {
    error = check_http_options(options);
    if (!error.empty()) return nullptr;
    if (options.port < 0) {
        error = "--http: no port given";
        return nullptr;
    }
    std::unique_ptr<http_sink> sink(new http_sink);
    sink->state_ = std::make_unique<http_sink::state>();
    http_sink::state *s = sink->state_.get();
    s->options = options;
    if (!options.user.empty()) {
        std::string pair = options.user + ":" + options.password;
        s->authorization = "Basic " + base64(reinterpret_cast<const unsigned char *>(pair.data()), pair.size());
    }
    s->config_json =
        "{\"map_tiles\":" + json_string(options.map_tiles) + ",\"history\":" + std::to_string(options.history) + "}";

    httplib::Server &server = s->server;
    size_t threads = options.max_streams + 8;
    server.new_task_queue = [threads] { return new bounded_pool(threads, 64); };
    server.set_payload_max_length(4096);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(2);
    std::string img_src = "'self' data: " + tile_origin(options.map_tiles);
    server.set_default_headers({
        {"Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; img-src " + img_src +
                                        "; connect-src 'self'; media-src 'self'; base-uri 'none'; "
                                        "form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
    });

    server.set_pre_routing_handler([s](const httplib::Request &req, httplib::Response &res) {
        if (!s->authorization.empty() &&
            !constant_time_equal(req.get_header_value("Authorization"), s->authorization)) {
            res.set_header("WWW-Authenticate", "Basic realm=\"zelvane\", charset=\"UTF-8\"");
            plain_error(res, 401, "this monitor needs a user name and password");
            return httplib::Server::HandlerResponse::Handled;
        }
        // Nothing here takes a body; a large one is refused before it is read.
        uint64_t length = 0;
        std::string length_text = req.get_header_value("Content-Length");
        if (!length_text.empty() && (!parse_u64(length_text, length) || length > 4096)) {
            plain_error(res, 413, "request too large");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
            plain_error(res, 405, "only GET is served here");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path.find("..") != std::string::npos || req.path.find('\\') != std::string::npos ||
            req.path.find('\0') != std::string::npos || req.path.empty() || req.path[0] != '/') {
            plain_error(res, 400, "bad path");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty()) {
            std::string reason = status_reason(res.status);
            res.set_content(std::to_string(res.status) + " " + reason + "\n", "text/plain; charset=utf-8");
        }
    });
    server.set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
        plain_error(res, 500, "internal error");
    });

    server.Get("/api/config", [s](const httplib::Request &, httplib::Response &res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(s->config_json, "application/json");
    });
    server.Get("/api/events", [s](const httplib::Request &req, httplib::Response &res) {
        uint64_t since = 0;
        if (req.has_param("since") && !parse_u64(req.get_param_value("since"), since))
            return plain_error(res, 400, "since: not a number");
        std::vector<item_ptr> items;
        {
            std::lock_guard lock(s->m);
            for (const item_ptr &item : s->history)
                if (item->seq > since) items.push_back(item);
        }
        std::string body;
        for (const item_ptr &item : items) body += item->data + "\n";
        res.set_header("Cache-Control", "no-store");
        res.set_content(body, "application/x-ndjson");
    });
    server.Get("/api/stream",
               [s](const httplib::Request &req, httplib::Response &res) { s->serve_stream(req, res, false); });
    server.Get("/api/speech",
               [s](const httplib::Request &req, httplib::Response &res) { s->serve_stream(req, res, true); });
    server.Get(R"(/api/calls/([0-9]{1,20})/audio)", [s](const httplib::Request &req, httplib::Response &res) {
        uint64_t id = 0;
        if (!parse_u64(req.matches[1], id)) return plain_error(res, 404, "no such call");
        std::string name;
        {
            std::lock_guard lock(s->m);
            auto it = s->call_files.find(id);
            if (it == s->call_files.end()) return plain_error(res, 404, "no speech file for that call");
            name = it->second;
        }
        // The path is the configured folder and a name a call-end gave;
        // nothing of the request reaches it but the number looked up.
        auto file = std::make_shared<std::ifstream>(s->options.audio_dir + "/" + name, std::ios::binary);
        if (!*file) return plain_error(res, 404, "the speech file is not there");
        file->seekg(0, std::ios::end);
        std::streamoff size = file->tellg();
        file->seekg(0);
        if (size < 0) return plain_error(res, 404, "the speech file is not there");
        bool wav = name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0;
        res.set_header("Cache-Control", "no-store");
        res.set_content_provider(static_cast<size_t>(size), wav ? "audio/wav" : "application/octet-stream",
                                 [file](size_t offset, size_t length, httplib::DataSink &sink) {
                                     char buffer[16384];
                                     file->clear();
                                     file->seekg(static_cast<std::streamoff>(offset));
                                     size_t want = std::min(length, sizeof buffer);
                                     file->read(buffer, static_cast<std::streamsize>(want));
                                     std::streamsize got = file->gcount();
                                     if (got <= 0) return false;
                                     return sink.write(buffer, static_cast<size_t>(got));
                                 });
    });
    server.Get(R"(/[A-Za-z0-9_.-]*)", [](const httplib::Request &req, httplib::Response &res) {
        const web_asset *asset = find_web_asset(req.path);
        if (!asset) return plain_error(res, 404, "not found");
        res.set_content(asset->body.data(), asset->body.size(), std::string(asset->content_type));
    });

    if (options.port == 0) {
        s->port = server.bind_to_any_port(options.address);
        if (s->port <= 0) {
            error = "--http: cannot listen on " + options.address;
            return nullptr;
        }
    } else {
        if (!server.bind_to_port(options.address, options.port)) {
            error = "--http: cannot listen on " + options.address + ":" + std::to_string(options.port) +
                    " (in use, or not an address of this machine)";
            return nullptr;
        }
        s->port = options.port;
    }
    s->listener = std::thread([s] { s->server.listen_after_bind(); });
    return sink;
}
