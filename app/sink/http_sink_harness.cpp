// SPDX-License-Identifier: MIT
// A test program for the web monitor: replays a list of events (one JSON
// object a line, in the API's form, plus "call_id" and "speech" seconds)
// into the HTTP sink, with the speech of a WAV file for the calls, at a
// chosen pace, then keeps serving until SIGINT or SIGTERM. It lets the
// browser tests drive the sink exactly as the engine does: one thread, in
// order, timing every take().
//
//   http_sink_harness --events FILE [--speech WAV] [--pace SECONDS]
//                     [--audio-dir DIR] [the web monitor's options: --http, ...]
//                     [--wait-clients N] [--no-linger]
//
// Standard output: "listening http://ADDR:PORT/", then "sent SEQ MS" per
// event (MS: wall-clock milliseconds since the epoch, after take()
// returned), then "take_max_ms=X events=N dropped=D", then "lingering".
#include <rapidjson/document.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "http_sink.h"

namespace {

std::atomic<bool> stop_requested{false};
void on_signal(int) { stop_requested = true; }

std::string text_of(const rapidjson::Value &v, const char *key) {
    auto it = v.FindMember(key);
    return it != v.MemberEnd() && it->value.IsString() ? std::string(it->value.GetString(), it->value.GetStringLength())
                                                       : std::string();
}

double number_of(const rapidjson::Value &v, const char *key, double otherwise) {
    auto it = v.FindMember(key);
    return it != v.MemberEnd() && it->value.IsNumber() ? it->value.GetDouble() : otherwise;
}

bool parse_event(const std::string &line, event &e, double &speech_seconds) {
    rapidjson::Document d;
    d.Parse(line.c_str(), line.size());
    if (d.HasParseError() || !d.IsObject()) return false;
    std::string protocol = text_of(d, "protocol"), kind = text_of(d, "event");
    if (protocol == "DMR")
        e.protocol = event_protocol::dmr;
    else if (protocol == "YSF")
        e.protocol = event_protocol::ysf;
    else if (protocol == "POCSAG")
        e.protocol = event_protocol::pocsag;
    else
        return false;
    const std::pair<const char *, event_kind> kinds[] = {{"call", event_kind::call},
                                                         {"call-end", event_kind::call_end},
                                                         {"page", event_kind::page},
                                                         {"signal", event_kind::signal},
                                                         {"csbk", event_kind::csbk},
                                                         {"data", event_kind::data},
                                                         {"page-repeat", event_kind::page_repeat}};
    bool known = false;
    for (auto &[name, k] : kinds)
        if (kind == name) e.kind = k, known = true;
    if (!known) return false;
    e.time = number_of(d, "time", 0);
    e.duration = number_of(d, "duration", 0);
    e.frequency = static_cast<int64_t>(number_of(d, "frequency", 0));
    e.station = text_of(d, "station");
    e.utc = text_of(d, "utc");
    e.call_id = static_cast<uint64_t>(number_of(d, "call_id", 0));
    e.slot = static_cast<int>(number_of(d, "slot", 1));
    e.type = text_of(d, "type");
    if (e.protocol == event_protocol::ysf) {
        e.ysf_source = text_of(d, "source");
        e.ysf_target = text_of(d, "target");
    } else {
        e.source = static_cast<long>(number_of(d, "source", 0));
        e.target = static_cast<long>(number_of(d, "target", 0));
    }
    e.alias = text_of(d, "alias");
    e.mode = text_of(d, "mode");
    e.up = text_of(d, "up");
    e.down = text_of(d, "down");
    e.radio = text_of(d, "radio");
    if (d.HasMember("lat") && d.HasMember("lon")) {
        e.has_position = true;
        e.lat = number_of(d, "lat", 0);
        e.lon = number_of(d, "lon", 0);
    }
    e.baud = static_cast<int>(number_of(d, "baud", 0));
    e.address = static_cast<long>(number_of(d, "address", 0));
    e.function = static_cast<int>(number_of(d, "function", -1));
    e.message = text_of(d, "message");
    e.source_name = text_of(d, "source_name");
    e.target_name = text_of(d, "target_name");
    e.name = text_of(d, "name");
    e.audio = text_of(d, "audio");
    e.summary = text_of(d, "summary");
    e.repeats = static_cast<int>(number_of(d, "repeats", 0));
    speech_seconds = number_of(d, "speech", 0);
    // "extra": keys beyond the fixed ones, as a later kind of event adds them.
    auto extra = d.FindMember("extra");
    if (extra != d.MemberEnd() && extra->value.IsObject()) {
        for (auto &m : extra->value.GetObject()) {
            std::string key(m.name.GetString(), m.name.GetStringLength());
            if (m.value.IsInt64())
                add_number(e, key, m.value.GetInt64());
            else if (m.value.IsString())
                add_text(e, key, std::string(m.value.GetString(), m.value.GetStringLength()));
            else if (m.value.IsBool())
                add_flag(e, key, m.value.GetBool());
        }
    }
    return true;
}

std::vector<int16_t> read_speech(const std::string &path) {
    SF_INFO info{};
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<int16_t> all;
    std::vector<int16_t> frame(static_cast<size_t>(info.channels));
    // At most a minute: the harness only needs something to play.
    while (all.size() < 8000 * 60 && sf_readf_short(f, frame.data(), 1) == 1) all.push_back(frame[0]);
    sf_close(f);
    return all;
}

long long wall_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char **argv) {
    http_options options;
    options.port = 0;
    std::string events_path, speech_path, error;
    double pace = 0;
    size_t wait_clients = 0;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "http_sink_harness: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--events")
            events_path = value();
        else if (arg == "--speech")
            speech_path = value();
        else if (arg == "--pace")
            pace = std::stod(value());
        else if (arg == "--audio-dir")
            options.audio_dir = value();
        else if (arg == "--wait-clients")
            wait_clients = std::stoul(value());
        else if (arg == "--no-linger")
            options.linger = false;
        else if (int used = take_http_argument(argc, argv, i, options, error); used > 0)
            i += used - 1;
        else if (used < 0) {
            std::fprintf(stderr, "http_sink_harness: %s\n", error.c_str());
            return 2;
        } else {
            std::fprintf(stderr, "http_sink_harness: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    std::ifstream events_file(events_path);
    if (!events_file) {
        std::fprintf(stderr, "http_sink_harness: cannot read --events %s\n", events_path.c_str());
        return 2;
    }
    std::vector<int16_t> speech = speech_path.empty() ? std::vector<int16_t>() : read_speech(speech_path);
    std::unique_ptr<http_sink> sink = make_http_sink(options, error);
    if (!sink) {
        std::fprintf(stderr, "http_sink_harness: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::printf("listening http://%s:%d/\n", options.address.c_str(), sink->port());
    std::fflush(stdout);
    // --wait-clients: the live test opens its pages first, so that every event it times
    // arrives on an open stream.
    while (!stop_requested && sink->counts().streams_open < wait_clients)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    double take_max = 0;
    size_t speech_at = 0;
    uint64_t seq = 0;
    std::string line;
    while (!stop_requested && std::getline(events_file, line)) {
        if (line.empty()) continue;
        event e;
        double speech_seconds = 0;
        if (!parse_event(line, e, speech_seconds)) {
            std::fprintf(stderr, "http_sink_harness: not an event: %s\n", line.c_str());
            return 2;
        }
        auto t0 = std::chrono::steady_clock::now();
        sink->take(e);
        take_max = std::max(take_max, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (e.kind != event_kind::page_repeat) std::printf("sent %llu %lld\n", (unsigned long long)++seq, wall_ms());
        std::fflush(stdout);
        // The call's speech in 20 ms pieces, spread over the pause before
        // the next event as a receiver would deliver it.
        size_t pieces = static_cast<size_t>(speech_seconds * 50);
        auto start = std::chrono::steady_clock::now();
        for (size_t p = 0; p < pieces && !speech.empty() && e.call_id != 0; p++) {
            int16_t piece[160];
            for (int16_t &s : piece) s = speech[speech_at++ % speech.size()];
            auto t1 = std::chrono::steady_clock::now();
            sink->speech(e.call_id, piece, 160);
            take_max = std::max(take_max, std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count());
            if (pace > 0) std::this_thread::sleep_until(start + std::chrono::duration<double>(pace * (p + 1) / pieces));
        }
        if (pace > 0 && pieces == 0) std::this_thread::sleep_for(std::chrono::duration<double>(pace));
    }
    sink->finish(stop_requested);
    http_sink_counts c = sink->counts();
    std::printf("take_max_ms=%.3f events=%llu dropped=%llu\n", take_max * 1000, (unsigned long long)c.events,
                (unsigned long long)c.clients_dropped);
    std::fflush(stdout);
    if (sink->wants_to_linger()) {
        std::printf("lingering\n");
        std::fflush(stdout);
        while (!stop_requested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}
