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

bool parse_position(const line_fields &fields, call_event &event) {
    if (!has_field(fields, "lat") || !has_field(fields, "lon")) return false;
    char *end_lat = nullptr, *end_lon = nullptr;
    std::string lat = field_or(fields, "lat"), lon = field_or(fields, "lon");
    double la = std::strtod(lat.c_str(), &end_lat), lo = std::strtod(lon.c_str(), &end_lon);
    if (*end_lat != 0 || *end_lon != 0 || !(la >= -90 && la <= 90) || !(lo >= -180 && lo <= 180)) return false;
    event.has_position = true;
    event.lat = la;
    event.lon = lo;
    return true;
}

// The call a DMR line describes; false if it names nobody.
bool dmr_call(const line_fields &fields, call_event &event) {
    event.type = field_or(fields, "type");
    if (event.type != "group" && event.type != "direct") event.type.clear();
    event.source = number_or_zero(field_or(fields, "source"));
    event.target = number_or_zero(field_or(fields, "target"));
    event.alias = unescape_received(field_or(fields, "alias"));
    parse_position(fields, event);
    return !event.type.empty() || event.source != 0 || event.target != 0;
}

// The call a System Fusion line describes; false if it names nobody.
bool ysf_call(const line_fields &fields, call_event &event) {
    auto sign = [&](const char *key) { return trim_trailing_spaces(unescape_received(field_or(fields, key))); };
    event.mode = field_or(fields, "mode");
    event.ysf_source = sign("source");
    event.ysf_target = sign("target");
    event.up = sign("up");
    event.down = sign("down");
    event.radio = field_or(fields, "radio");
    parse_position(fields, event);
    // The header carries the call signs before any communication frame has
    // told the mode; the call starts with the first communication frame.
    return !event.mode.empty() && (!event.ysf_source.empty() || !event.ysf_target.empty());
}

bool same_call(const call_event &a, const call_event &b) {
    return a.type == b.type && a.source == b.source && a.target == b.target && a.alias == b.alias && a.mode == b.mode &&
           a.ysf_source == b.ysf_source && a.ysf_target == b.ysf_target && a.up == b.up && a.down == b.down &&
           a.radio == b.radio && a.has_position == b.has_position && a.lat == b.lat && a.lon == b.lon;
}

call_event end_of(call_tracker &tracker, double time) {
    call_event end = tracker.current;
    end.kind = event_kind::call_end;
    end.time = time;
    end.duration = time > tracker.started ? time - tracker.started : 0;
    tracker.active = false;
    return end;
}

}  // namespace

std::vector<call_event> track_line(call_tracker &tracker, std::string_view line, double time) {
    line_fields fields = split_fields(line);
    const char *protocol = tracker.protocol == event_protocol::dmr ? "DMR" : "YSF";
    if (field_or(fields, "protocol") != protocol) return {};
    if (tracker.protocol == event_protocol::dmr && field_or(fields, "slot") != std::to_string(tracker.slot)) return {};

    call_event call;
    call.protocol = tracker.protocol;
    call.slot = tracker.slot;
    bool names = tracker.protocol == event_protocol::dmr ? dmr_call(fields, call) : ysf_call(fields, call);
    if (!names) {
        if (tracker.active) return {end_of(tracker, time)};
        return {};
    }
    // A position or a talker alias, once received, stays known for the call:
    // the decoders send them only on the lines that carry them.
    if (tracker.active) {
        if (!call.has_position && tracker.current.has_position) {
            call.has_position = true;
            call.lat = tracker.current.lat;
            call.lon = tracker.current.lon;
        }
        if (call.alias.empty()) call.alias = tracker.current.alias;
        if (call.radio.empty()) call.radio = tracker.current.radio;
    }
    tracker.last_line = time;
    if (tracker.active && same_call(call, tracker.current)) return {};
    if (!tracker.active) {
        tracker.active = true;
        tracker.started = time;
    }
    call.time = time;
    tracker.current = call;
    return {call};
}

std::optional<call_event> end_call_if_silent(call_tracker &tracker, double time, bool force) {
    if (!tracker.active) return std::nullopt;
    if (!force && time - tracker.last_line < call_silence_seconds) return std::nullopt;
    return end_of(tracker, force ? time : tracker.last_line);
}
