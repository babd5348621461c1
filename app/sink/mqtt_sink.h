// SPDX-License-Identifier: MIT
#pragma once
// Events published to an MQTT broker (--mqtt URL): each event as its JSON
// object (event_json, the same as -j writes), QoS 1, on the topic
// PREFIX/STATION/PROTOCOL/EVENT (protocol and event in lower case, e.g.
// zelvane/loft/dmr/call, zelvane/loft/pocsag/page). A retained
// PREFIX/STATION/status says "online" while zelvane runs and "offline" after
// it ended, cleanly or not (the last will).
//
// A broker that is down or restarts costs decoding nothing: events wait in a
// bounded queue (the oldest dropped beyond it, counted, and the count
// reported on standard error when the broker is back), libmosquitto's own
// thread reconnects with a growing delay, and what waits is published once
// the broker is there again. Pages received again within the duplicate
// window (page-repeat) are not published: subscribers get each page once.

#include <functional>
#include <memory>
#include <string>

#include "sink.h"

// Where to publish: mqtt://[USER[:PASS]@]HOST[:PORT][/PREFIX], or mqtts://
// for TLS. USER and PASS may hold %XX escapes (for '@', ':' or '/').
struct mqtt_address {
    bool tls = false;
    std::string host;
    int port = 1883;  // 8883 for mqtts://
    std::string user, password;
    bool has_user = false, has_password = false;
    std::string prefix = "zelvane";  // topic levels before the station's; may hold '/'
};

// Parses an --mqtt URL; false with a one-line error (no newline) if it is
// not one.
bool parse_mqtt_url(const std::string &url, mqtt_address &address, std::string &error);

// The default station name: this machine's host name up to its first dot,
// as a topic level (see topic_level); "zelvane" if it has none.
std::string default_station();

// text as one MQTT topic level: valid UTF-8, with '/', '+', '#' and control
// characters replaced by '_', at most 64 bytes; "_" when empty.
std::string topic_level(const std::string &text);

struct mqtt_sink_options {
    mqtt_address address;
    std::string station;         // a topic level (see topic_level)
    std::string cafile;          // mqtts: the CA certificates the broker's is checked against (empty: the system's)
    size_t queue_limit = 10000;  // events waiting for the broker; the oldest dropped beyond
    int reconnect_min_s = 1, reconnect_max_s = 30;  // the reconnection delay doubles from min to max
    int keepalive_s = 30;
    int finish_wait_ms = 3000;  // at the end, how long what is still queued may take to reach the broker
    // Where the one-line reports go (no newline, no "zelvane: "). Empty:
    // standard error, as "zelvane: mqtt: ...".
    std::function<void(const std::string &)> report;
};

class mqtt_sink_impl;

class mqtt_sink : public event_sink {
   public:
    ~mqtt_sink() override;
    void take(event &e) override;
    void finish(bool interrupted) override;

    // Waits until every event taken so far is acknowledged by the broker (or
    // given up), for at most wait_ms; true if so. For tests and harnesses.
    bool drain(int wait_ms);

   private:
    friend std::unique_ptr<mqtt_sink> open_mqtt_sink(const mqtt_sink_options &options, std::string &error);
    explicit mqtt_sink(std::unique_ptr<mqtt_sink_impl> impl);
    std::unique_ptr<mqtt_sink_impl> impl_;
};

// The topic an event is published on.
std::string mqtt_topic(const std::string &prefix, const std::string &station, const event &e);

// Starts the client and its connection (which need not succeed now: a broker
// that is not there yet is retried). Null with a one-line error only for
// what retrying cannot mend: a bad CA file, a station that is not a topic
// level, a client library that cannot start.
std::unique_ptr<mqtt_sink> open_mqtt_sink(const mqtt_sink_options &options, std::string &error);

// The factory for the options: --mqtt URL [--mqtt-cafile FILE] [--station
// NAME]; station empty means default_station().
std::unique_ptr<event_sink> make_mqtt_sink(const std::string &url, const std::string &station,
                                           const std::string &cafile, std::string &error);
