// SPDX-License-Identifier: MIT
#include "call_tracker.h"

#include <cstdlib>
#include <string>

#include "line_fields.h"

namespace {

long number_or_zero(const std::string &text) {
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return end && *end == 0 ? value : 0;
}

bool parse_position(const line_fields &fields, event &e) {
    if (!has_field(fields, "lat") || !has_field(fields, "lon")) return false;
    char *end_lat = nullptr, *end_lon = nullptr;
    std::string lat = field_or(fields, "lat"), lon = field_or(fields, "lon");
    double la = std::strtod(lat.c_str(), &end_lat), lo = std::strtod(lon.c_str(), &end_lon);
    if (*end_lat != 0 || *end_lon != 0 || !(la >= -90 && la <= 90) || !(lo >= -180 && lo <= 180)) return false;
    e.has_position = true;
    e.lat = la;
    e.lon = lo;
    return true;
}

// The call a DMR line describes; false if it names nobody.
bool dmr_call(const line_fields &fields, event &e) {
    e.type = field_or(fields, "type");
    if (e.type != "group" && e.type != "direct") e.type.clear();
    e.source = number_or_zero(field_or(fields, "source"));
    e.target = number_or_zero(field_or(fields, "target"));
    e.alias = unescape_received(field_or(fields, "alias"));
    parse_position(fields, e);
    e.encrypted = field_or(fields, "encrypted") == "1";
    e.emergency = field_or(fields, "emergency") == "1";
    if (e.encrypted && has_field(fields, "algorithm")) e.algorithm = static_cast<int>(number_or_zero(field_or(fields, "algorithm")));
    if (e.encrypted && has_field(fields, "key_id")) e.key_id = static_cast<int>(number_or_zero(field_or(fields, "key_id")));
    return !e.type.empty() || e.source != 0 || e.target != 0;
}

// The call a System Fusion line describes; false if it names nobody.
bool ysf_call(const line_fields &fields, event &e) {
    auto sign = [&](const char *key) { return trim_trailing_spaces(unescape_received(field_or(fields, key))); };
    e.mode = field_or(fields, "mode");
    e.ysf_source = sign("source");
    e.ysf_target = sign("target");
    e.up = sign("up");
    e.down = sign("down");
    e.radio = field_or(fields, "radio");
    parse_position(fields, e);
    // The header carries the call signs before any communication frame has
    // told the mode; the call starts with the first communication frame.
    return !e.mode.empty() && (!e.ysf_source.empty() || !e.ysf_target.empty());
}

bool source_known(const event &e) {
    return e.protocol == event_protocol::dmr ? e.source != 0 : !e.ysf_source.empty();
}

// The System Fusion fields of a line, as bits of call_tracker::arrived.
unsigned fields_arrived(const line_fields &fields) {
    return (has_field(fields, "target") ? 1u : 0u) | (has_field(fields, "down") ? 2u : 0u) |
           (has_field(fields, "up") ? 4u : 0u);
}

// Every field of a first event has arrived.
bool complete(const call_tracker &t) { return t.protocol == event_protocol::dmr || t.arrived == 7u; }

bool same_call(const event &a, const event &b) {
    return a.type == b.type && a.source == b.source && a.target == b.target && a.alias == b.alias && a.mode == b.mode &&
           a.ysf_source == b.ysf_source && a.ysf_target == b.ysf_target && a.up == b.up && a.down == b.down &&
           a.radio == b.radio && a.has_position == b.has_position && a.lat == b.lat && a.lon == b.lon &&
           a.encrypted == b.encrypted && a.emergency == b.emergency && a.algorithm == b.algorithm &&
           a.key_id == b.key_id;
}

// What a line left out stays known for the call: the decoders send a
// position, an alias or a call sign only on the lines that carry them.
void keep_known(event &call, const event &known) {
    if (!call.has_position && known.has_position) {
        call.has_position = true;
        call.lat = known.lat;
        call.lon = known.lon;
    }
    auto keep = [](std::string &field, const std::string &was) {
        if (field.empty()) field = was;
    };
    keep(call.alias, known.alias);
    keep(call.radio, known.radio);
    keep(call.ysf_source, known.ysf_source);
    keep(call.ysf_target, known.ysf_target);
    keep(call.up, known.up);
    keep(call.down, known.down);
    keep(call.type, known.type);
    if (call.source == 0) call.source = known.source;
    if (known.encrypted && !call.encrypted) {
        call.encrypted = true;
        call.algorithm = known.algorithm;
        call.key_id = known.key_id;
    }
    if (call.encrypted && call.algorithm < 0) call.algorithm = known.algorithm;
    if (call.encrypted && call.key_id < 0) call.key_id = known.key_id;
    call.emergency = call.emergency || known.emergency;
    if (call.target == 0) call.target = known.target;
}

event announce(call_tracker &tracker, double time) {
    tracker.announced = true;
    tracker.started = time;
    tracker.current.time = time;
    return tracker.current;
}

event end_of(call_tracker &tracker, double time, double until) {
    event end = tracker.current;
    end.kind = event_kind::call_end;
    end.time = time;
    end.duration = until > tracker.started ? until - tracker.started : 0;
    tracker.active = false;
    tracker.announced = false;
    return end;
}

}  // namespace

std::vector<event> track_line(call_tracker &tracker, std::string_view line, double time) {
    line_fields fields = split_fields(line);
    const char *protocol = tracker.protocol == event_protocol::dmr ? "DMR" : "YSF";
    if (field_or(fields, "protocol") != protocol) return {};
    if (tracker.protocol == event_protocol::dmr && field_or(fields, "slot") != std::to_string(tracker.slot)) return {};

    event call;
    call.protocol = tracker.protocol;
    call.kind = event_kind::call;
    call.slot = tracker.slot + 1;
    bool names = tracker.protocol == event_protocol::dmr ? dmr_call(fields, call) : ysf_call(fields, call);
    if (!names) {
        if (!tracker.active) return {};
        std::vector<event> out;
        if (!tracker.announced) out.push_back(announce(tracker, time));
        out.push_back(end_of(tracker, time, time));
        return out;
    }
    if (tracker.active) keep_known(call, tracker.current);
    if (!tracker.active && !source_known(call)) return {};  // wait for the source
    tracker.last_line = time;
    if (!tracker.active) {
        tracker.active = true;
        tracker.announced = false;
        tracker.first_line = time;
        tracker.current = call;
        tracker.arrived = 0;
    } else if (!tracker.announced) {
        tracker.current = call;
    } else {
        if (same_call(call, tracker.current)) return {};
        call.time = time;
        tracker.current = call;
        return {call};
    }
    tracker.arrived |= fields_arrived(fields);
    if (complete(tracker)) return {announce(tracker, time)};
    return {};
}

void track_alive(call_tracker &tracker, double time) {
    if (tracker.active && time > tracker.last_line) tracker.last_line = time;
}

std::vector<event> track_time(call_tracker &tracker, double time, bool force) {
    if (!tracker.active) return {};
    std::vector<event> out;
    if (!tracker.announced && (force || time - tracker.first_line >= ysf_superframe_seconds))
        out.push_back(announce(tracker, time));
    if (force) {
        out.push_back(end_of(tracker, time, time));
    } else if (time - tracker.last_line >= call_silence_seconds) {
        out.push_back(end_of(tracker, time, tracker.last_line));
    }
    return out;
}
