// SPDX-License-Identifier: MIT
// A small program that feeds a numbered run of events into the call log or
// the MQTT sink, for the tests that kill a writer in the middle of its work:
//   sink_harness (--db FILE | --mqtt URL [--station NAME] [--mqtt-cafile FILE])
//                [--events N] [--pace-ms MS] [--hold]
// Event i is, by i % 4: a DMR call's start (call i/4 + 1), its update with a
// second talker, its end, and a POCSAG page with the text "seq i". After
// each event the harness waits until the sink has written it (committed to
// the log, acknowledged by the broker) and prints "committed i". --hold
// waits for a signal at the end instead of finishing.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "mqtt_sink.h"
#include "sqlite_sink.h"

namespace {

event numbered_event(long i) {
    event e;
    long call = i / 4 + 1;
    e.time = static_cast<double>(i) * 0.01;
    e.station = "harness";
    switch (i % 4) {
        case 0:
        case 1:
        case 2:
            e.protocol = event_protocol::dmr;
            e.kind = i % 4 == 2 ? event_kind::call_end : event_kind::call;
            e.call_id = static_cast<uint64_t>(call);
            e.slot = 1 + static_cast<int>(call % 2);
            e.type = "group";
            e.source = i % 4 == 0 ? 1000 + call : 5000 + call;
            e.target = 9;
            if (i % 4 != 0) e.alias = "talker " + std::to_string(call);
            if (i % 4 == 2) e.duration = 0.02;
            break;
        default:
            e.protocol = event_protocol::pocsag;
            e.kind = event_kind::page;
            e.baud = 1200;
            e.address = 1000000 + call;
            e.function = 3;
            e.message = "seq " + std::to_string(i);
            break;
    }
    return e;
}

}  // namespace

int main(int argc, char **argv) {
    std::string db, url, station = "harness", cafile;
    long events = 0;
    int pace_ms = 0;
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "sink_harness: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--db")
            db = value();
        else if (a == "--mqtt")
            url = value();
        else if (a == "--station")
            station = value();
        else if (a == "--mqtt-cafile")
            cafile = value();
        else if (a == "--events")
            events = std::atol(value().c_str());
        else if (a == "--pace-ms")
            pace_ms = std::atoi(value().c_str());
        else if (a == "--hold")
            hold = true;
        else {
            std::fprintf(stderr, "sink_harness: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    std::string error;
    std::unique_ptr<sqlite_sink> log;
    std::unique_ptr<mqtt_sink> mqtt;
    if (!db.empty()) {
        sqlite_sink_options options;
        options.path = db;
        log = open_sqlite_sink(options, error);
    } else {
        mqtt_sink_options options;
        if (parse_mqtt_url(url, options.address, error)) {
            options.station = station;
            options.cafile = cafile;
            options.reconnect_max_s = 2;
            mqtt = open_mqtt_sink(options, error);
        }
    }
    if (!log && !mqtt) {
        std::fprintf(stderr, "sink_harness: %s\n", error.c_str());
        return 1;
    }
    event_sink &sink = log ? static_cast<event_sink &>(*log) : static_cast<event_sink &>(*mqtt);
    for (long i = 0; i < events; ++i) {
        event e = numbered_event(i);
        sink.take(e);
        bool written = log ? log->drain(10000) : mqtt->drain(10000);
        if (written) std::printf("committed %ld\n", i);
        std::fflush(stdout);
        if (pace_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pace_ms));
    }
    if (hold) {
        std::printf("holding\n");
        std::fflush(stdout);
        pause();
    }
    sink.finish(false);
    return 0;
}
