// SPDX-License-Identifier: MIT
#include "mqtt_sink.h"

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "event_forms.h"
#include "received_text.h"
#include "sink_worker.h"

namespace {

// At most this many publishes wait for the broker's acknowledgement; the
// rest wait in the sink's own queue, where the bound and the dropping rule
// are ours (libmosquitto's queue has no bound).
const int in_flight_limit = 100;

const char *const status_online = "online";
const char *const status_offline = "offline";

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool percent_decode(const std::string &in, std::string &out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        int high = i + 1 < in.size() ? hex_digit(in[i + 1]) : -1;
        int low = i + 2 < in.size() ? hex_digit(in[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// A QoS 1 publish that fails with one of these never reached libmosquitto's
// queue; any other failure (the connection dropping under it) leaves the
// message queued there, to be sent again after reconnecting.
bool refused_before_queueing(int rc) {
    return rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_NOMEM || rc == MOSQ_ERR_PAYLOAD_SIZE ||
           rc == MOSQ_ERR_MALFORMED_UTF8 || rc == MOSQ_ERR_OVERSIZE_PACKET || rc == MOSQ_ERR_NOT_SUPPORTED;
}

std::string lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool parse_mqtt_url(const std::string &url, mqtt_address &address, std::string &error) {
    address = mqtt_address{};
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        address.tls = true;
        address.port = 8883;
    } else {
        error = "--mqtt " + url + ": not an mqtt:// or mqtts:// address";
        return false;
    }
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "" : rest.substr(slash + 1);

    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string userinfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        size_t colon = userinfo.find(':');
        if (!percent_decode(userinfo.substr(0, colon), address.user) ||
            (colon != std::string::npos && !percent_decode(userinfo.substr(colon + 1), address.password))) {
            error = "--mqtt " + url + ": a bad %-escape in the user or password";
            return false;
        }
        address.has_user = true;
        address.has_password = colon != std::string::npos;
        if (address.user.empty() || address.user.find('\0') != std::string::npos ||
            address.password.find('\0') != std::string::npos) {
            error = "--mqtt " + url + ": an empty user name, or a NUL in the user or password";
            return false;
        }
    }

    std::string port_text;
    if (!authority.empty() && authority[0] == '[') {  // [IPv6]
        size_t close = authority.find(']');
        if (close == std::string::npos) {
            error = "--mqtt " + url + ": an IPv6 address without its ']'";
            return false;
        }
        address.host = authority.substr(1, close - 1);
        std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                error = "--mqtt " + url + ": text after the IPv6 address";
                return false;
            }
            port_text = after.substr(1);
            if (port_text.empty()) port_text = "x";
        }
    } else {
        size_t colon = authority.rfind(':');
        address.host = authority.substr(0, colon);
        if (colon != std::string::npos) {
            port_text = authority.substr(colon + 1);
            if (port_text.empty()) port_text = "x";
        }
    }
    if (address.host.empty()) {
        error = "--mqtt " + url + ": no broker host";
        return false;
    }
    if (!port_text.empty()) {
        bool digits = port_text.size() <= 5;
        for (char c : port_text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
        int port = digits ? std::atoi(port_text.c_str()) : 0;
        if (port < 1 || port > 65535) {
            error = "--mqtt " + url + ": the port must be a number from 1 to 65535";
            return false;
        }
        address.port = port;
    }

    while (!path.empty() && path.back() == '/') path.pop_back();
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    if (!path.empty()) {
        if (path.find_first_of("+#") != std::string::npos || path.find("//") != std::string::npos ||
            as_utf8(path) != path) {
            error = "--mqtt " + url + ": the topic prefix must be UTF-8 without '+', '#' or empty levels";
            return false;
        }
        for (unsigned char c : path)
            if (c < 0x20 || c == 0x7f) {
                error = "--mqtt " + url + ": a control character in the topic prefix";
                return false;
            }
        address.prefix = path;
    }
    return true;
}

std::string topic_level(const std::string &text) {
    std::string out;
    for (unsigned char c : as_utf8(text))
        out += (c == '/' || c == '+' || c == '#' || c < 0x20 || c == 0x7f) ? '_' : static_cast<char>(c);
    if (out.size() > 64) {
        // Cut at a character's first byte, never inside a UTF-8 sequence.
        size_t cut = 64;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out.empty() ? "_" : out;
}

std::string default_station() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "zelvane";
    std::string host(name);
    host = host.substr(0, host.find('.'));
    return host.empty() ? "zelvane" : topic_level(host);
}

std::string mqtt_topic(const std::string &prefix, const std::string &station, const event &e) {
    return prefix + "/" + station + "/" + lower(event_protocol_name(e.protocol)) + "/" + event_kind_name(e.kind);
}

class mqtt_sink_impl {
   public:
    explicit mqtt_sink_impl(const mqtt_sink_options &options) : options_(options), queue_(options.queue_limit) {
        options_.reconnect_min_s = std::max(options_.reconnect_min_s, 1);
        options_.reconnect_max_s = std::max(options_.reconnect_max_s, options_.reconnect_min_s);
        status_topic_ = options_.address.prefix + "/" + options_.station + "/status";
        where_ = options_.address.host + ":" + std::to_string(options_.address.port);
    }

    ~mqtt_sink_impl() {
        stop();
        if (mosq_) mosquitto_destroy(mosq_);
    }

    bool open(std::string &error) {
        static std::once_flag library;
        std::call_once(library, [] { mosquitto_lib_init(); });
        if (options_.station.empty() || topic_level(options_.station) != options_.station) {
            error = "--station " + options_.station + ": not usable in an MQTT topic (no '/', '+', '#')";
            return false;
        }
        std::string id = "zelvane-" + options_.station.substr(0, 40) + "-" + std::to_string(getpid());
        mosq_ = mosquitto_new(id.c_str(), true, this);
        if (!mosq_) {
            error = "mqtt: cannot start the client library";
            return false;
        }
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(mosq_, in_flight_limit);
        // The sink runs the client's network loop on a thread of its own
        // (below) rather than libmosquitto's, whose loop ends for good on a
        // failed TLS handshake or name lookup: here every failure is retried.
        mosquitto_threaded_set(mosq_, true);
        mosquitto_connect_callback_set(mosq_, on_connect);
        mosquitto_disconnect_callback_set(mosq_, on_disconnect);
        mosquitto_publish_callback_set(mosq_, on_publish);
        mosquitto_log_callback_set(mosq_, on_log);
        const mqtt_address &a = options_.address;
        if (a.has_user &&
            mosquitto_username_pw_set(mosq_, a.user.c_str(), a.has_password ? a.password.c_str() : nullptr) !=
                MOSQ_ERR_SUCCESS) {
            error = "mqtt: the user name or password is not usable";
            return false;
        }
        if (!options_.cafile.empty() && !a.tls) {
            error = "--mqtt-cafile needs an mqtts:// address";
            return false;
        }
        if (a.tls) {
            int rc = options_.cafile.empty()
                         ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                         : mosquitto_tls_set(mosq_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                error = "--mqtt-cafile " + options_.cafile + ": cannot be read (" + mosquitto_strerror(rc) + ")";
                return false;
            }
        }
        if (mosquitto_will_set(mosq_, status_topic_.c_str(), static_cast<int>(std::strlen(status_offline)),
                               status_offline, 1, true) != MOSQ_ERR_SUCCESS) {
            error = "mqtt: the status topic " + status_topic_ + " is not usable";
            return false;
        }
        network_ = std::thread([this] { network(); });
        worker_ = std::thread([this] { work(); });
        return true;
    }

    void take(const event &e) {
        if (e.kind == event_kind::page_repeat) return;
        queue_.push(e);
    }

    bool drain(int wait_ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
        if (!queue_.wait_idle(std::chrono::milliseconds(wait_ms))) return false;
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_until(lock, until, [this] { return in_flight_ == 0; });
    }

    void stop() {
        if (!worker_.joinable() && !network_.joinable()) return;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.finish_wait_ms);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finish_by_ = until;
            finishing_ = true;
        }
        changed_.notify_all();
        queue_.close();
        if (worker_.joinable()) worker_.join();
        bool connected;
        long unconfirmed;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_until(lock, until, [this] { return in_flight_ == 0 || !connected_; });
            unconfirmed = in_flight_;
            connected = connected_;
        }
        uint64_t lost = given_up_ + static_cast<uint64_t>(unconfirmed);
        if (lost > 0)
            say(std::to_string(lost) + " event" + (lost == 1 ? " was" : "s were") + " not delivered to " + where_ +
                (connected ? " (not acknowledged in time)" : " (the broker was unreachable)"));
        report_dropped();
        if (connected) {
            int mid = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++in_flight_;
            }
            if (!refused_before_queueing(mosquitto_publish(mosq_, &mid, status_topic_.c_str(),
                                                           static_cast<int>(std::strlen(status_offline)),
                                                           status_offline, 1, true))) {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait_for(lock, std::chrono::seconds(1),
                                  [this, unconfirmed] { return in_flight_ <= unconfirmed; });
            }
        }
        // The network thread sends the DISCONNECT, so that the broker
        // knows this end is clean and keeps its last will to itself.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            no_reconnect_ = true;
        }
        if (connected && mosquitto_disconnect(mosq_) == MOSQ_ERR_SUCCESS) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::seconds(1), [this] { return !connected_; });
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_network_ = true;
        }
        changed_.notify_all();
        if (!network_.joinable()) return;
        // A name lookup in progress (a DNS server that does not answer) may
        // hold the network thread for many seconds; the end of the run does
        // not wait for it: the thread is left to end with the process, and
        // what it uses is never freed (see abandoned()).
        std::unique_lock<std::mutex> lock(mutex_);
        if (changed_.wait_for(lock, std::chrono::seconds(2), [this] { return network_done_; })) {
            lock.unlock();
            network_.join();
        } else {
            network_.detach();
            abandoned_ = true;
        }
    }

    bool abandoned() const { return abandoned_; }

   private:
    // Connects, runs the client's network loop, and after a failure of any
    // kind (refused, lost, TLS, name lookup) tries again after a delay that
    // doubles from reconnect_min_s to reconnect_max_s.
    void network() {
        network_loop();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            network_done_ = true;
        }
        changed_.notify_all();
    }

    void network_loop() {
        const mqtt_address &a = options_.address;
        int delay = options_.reconnect_min_s;
        bool need_connect = true;
        auto next_try = std::chrono::steady_clock::now();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (stop_network_) return;
                if (need_connect) {
                    changed_.wait_until(lock, next_try, [this] { return stop_network_; });
                    if (stop_network_) return;
                    if (no_reconnect_) {
                        next_try = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
                        continue;
                    }
                }
                if (connected_) delay = options_.reconnect_min_s;
            }
            if (need_connect) {
                int rc = mosquitto_connect_async(mosq_, a.host.c_str(), a.port, options_.keepalive_s);
                if (rc == MOSQ_ERR_SUCCESS) {
                    need_connect = false;
                } else {
                    unreachable(describe(rc));
                    next_try = std::chrono::steady_clock::now() + std::chrono::seconds(delay);
                    delay = std::min(delay * 2, options_.reconnect_max_s);
                    continue;
                }
            }
            int rc = mosquitto_loop(mosq_, 100, 1);
            if (rc != MOSQ_ERR_SUCCESS) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    connected_ = false;
                }
                changed_.notify_all();
                unreachable(describe(rc));
                need_connect = true;
                next_try = std::chrono::steady_clock::now() + std::chrono::seconds(delay);
                delay = std::min(delay * 2, options_.reconnect_max_s);
            }
        }
    }

    // The first failure of an outage gets one line.
    void unreachable(const std::string &why) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (outage_ || finishing_) return;
            outage_ = true;
        }
        say("cannot reach the broker " + where_ + " (" + why + "); events wait for it (up to " +
            std::to_string(queue_.limit()) + ")");
    }

    static std::string describe(int rc) {
        if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
        return mosquitto_strerror(rc);
    }

    void say(const std::string &line) {
        if (options_.report)
            options_.report(line);
        else
            std::fprintf(stderr, "zelvane: mqtt: %s\n", line.c_str());
    }

    void report_dropped() {
        uint64_t dropped = queue_.take_dropped();
        if (dropped > 0)
            say(std::to_string(dropped) + " event" + (dropped == 1 ? " was" : "s were") + " dropped while the broker " +
                where_ + " was unreachable or slow (queue of " + std::to_string(queue_.limit()) + " full)");
    }

    static void on_connect(struct mosquitto *mosq, void *self_pointer, int rc) {
        auto *self = static_cast<mqtt_sink_impl *>(self_pointer);
        if (rc != 0) {
            bool first;
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                first = !self->refusal_said_;
                self->refusal_said_ = true;
                self->outage_ = true;
            }
            if (first)
                self->say("the broker " + self->where_ + " refused the connection: " + mosquitto_connack_string(rc));
            return;
        }
        // A broker without persistence forgot the status when it restarted.
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            ++self->in_flight_;
        }
        if (refused_before_queueing(mosquitto_publish(mosq, nullptr, self->status_topic_.c_str(),
                                                      static_cast<int>(std::strlen(status_online)), status_online, 1,
                                                      true))) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            --self->in_flight_;
        }
        bool was_out;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            was_out = self->outage_;
            self->outage_ = false;
            self->refusal_said_ = false;
            self->log_said_ = false;
            self->connected_ = true;
        }
        self->changed_.notify_all();
        if (was_out) {
            uint64_t dropped = self->queue_.take_dropped();
            self->say("connected to the broker " + self->where_ + (dropped == 0 ? "; no events were lost" : "; ") +
                      (dropped == 0 ? ""
                                    : std::to_string(dropped) + " event" + (dropped == 1 ? " was" : "s were") +
                                          " dropped while it was unreachable (queue of " +
                                          std::to_string(self->queue_.limit()) + " full)"));
        }
    }

    static void on_disconnect(struct mosquitto *, void *self_pointer, int rc) {
        auto *self = static_cast<mqtt_sink_impl *>(self_pointer);
        bool say_lost = false;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            // A connection that never came up is the network thread's to
            // report.
            bool was_connected = self->connected_;
            self->connected_ = false;
            if (rc != 0 && was_connected && !self->outage_ && !self->finishing_) {
                self->outage_ = true;
                say_lost = true;
            }
        }
        self->changed_.notify_all();
        if (say_lost)
            self->say("lost the broker " + self->where_ + "; events wait for it (up to " +
                      std::to_string(self->queue_.limit()) + ")");
    }

    static void on_publish(struct mosquitto *, void *self_pointer, int) {
        auto *self = static_cast<mqtt_sink_impl *>(self_pointer);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            if (self->in_flight_ > 0) --self->in_flight_;
        }
        self->changed_.notify_all();
    }

    // libmosquitto's own errors (a TLS handshake that fails, a name that does
    // not resolve) would otherwise be silent retries: the first of each
    // outage is reported.
    static void on_log(struct mosquitto *, void *self_pointer, int level, const char *text) {
        if (level != MOSQ_LOG_ERR || !text) return;
        auto *self = static_cast<mqtt_sink_impl *>(self_pointer);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            if (self->log_said_) return;
            self->log_said_ = true;
        }
        self->say(self->where_ + ": " + printable(text));
    }

    // Moves events from the queue to the broker, at most in_flight_limit
    // unacknowledged at a time, and only while connected: what libmosquitto
    // holds stays small, and the rest waits in the bounded queue (an event is
    // not taken out of it before it can be sent, so that the queue's bound
    // is the number of events an outage can hold).
    void work() {
        event e;
        auto last_drop_report = std::chrono::steady_clock::now();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait_for(lock, std::chrono::milliseconds(200), [this] { return can_send() || past_finish(); });
                if (!can_send()) {
                    if (past_finish() || (finishing_ && queue_.size() == 0)) break;
                    continue;
                }
            }
            if (!queue_.pop(e, std::chrono::milliseconds(200))) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (finishing_ && queue_.size() == 0) break;
                continue;
            }
            std::string topic = mqtt_topic(options_.address.prefix, options_.station, e);
            std::string payload = event_json(e);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++in_flight_;
            }
            int rc = mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                                       1, false);
            // An event the library refused outright is given up.
            if (refused_before_queueing(rc)) {
                std::lock_guard<std::mutex> lock(mutex_);
                --in_flight_;
                ++given_up_;
            }
            queue_.done();
            auto now = std::chrono::steady_clock::now();
            if (now - last_drop_report > std::chrono::seconds(5)) {
                last_drop_report = now;
                report_dropped();
            }
        }
        // What the broker could not take in time.
        while (queue_.pop(e, std::chrono::milliseconds(0))) {
            ++given_up_;
            queue_.done();
        }
    }

    bool can_send() const { return connected_ && in_flight_ < in_flight_limit; }
    bool past_finish() const { return finishing_ && std::chrono::steady_clock::now() > finish_by_; }

    mqtt_sink_options options_;
    std::string status_topic_, where_;
    struct mosquitto *mosq_ = nullptr;
    std::thread network_;
    bool stop_network_ = false, network_done_ = false, no_reconnect_ = false;  // under mutex_
    bool abandoned_ = false;
    bounded_queue<event> queue_;
    std::thread worker_;
    uint64_t given_up_ = 0;  // the worker's until it is joined

    std::mutex mutex_;
    std::condition_variable changed_;
    bool connected_ = false, outage_ = false, refusal_said_ = false, log_said_ = false;
    long in_flight_ = 0;
    bool finishing_ = false;
    std::chrono::steady_clock::time_point finish_by_;
};

mqtt_sink::mqtt_sink(std::unique_ptr<mqtt_sink_impl> impl) : impl_(std::move(impl)) {}
mqtt_sink::~mqtt_sink() {
    impl_->stop();
    // A network thread still inside a name lookup keeps using the client.
    if (impl_->abandoned()) static_cast<void>(impl_.release());
}
void mqtt_sink::take(event &e) { impl_->take(e); }
void mqtt_sink::finish(bool interrupted) {
    (void)interrupted;
    impl_->stop();
}
bool mqtt_sink::drain(int wait_ms) { return impl_->drain(wait_ms); }

std::unique_ptr<mqtt_sink> open_mqtt_sink(const mqtt_sink_options &options, std::string &error) {
    auto impl = std::make_unique<mqtt_sink_impl>(options);
    if (!impl->open(error)) return nullptr;
    return std::unique_ptr<mqtt_sink>(new mqtt_sink(std::move(impl)));
}

std::unique_ptr<event_sink> make_mqtt_sink(const std::string &url, const std::string &station,
                                           const std::string &cafile, std::string &error) {
    mqtt_sink_options options;
    if (!parse_mqtt_url(url, options.address, error)) return nullptr;
    options.station = station.empty() ? default_station() : station;
    options.cafile = cafile;
    return open_mqtt_sink(options, error);
}
