// SPDX-License-Identifier: MIT
#include "sidecar.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "received_text.h"

namespace {

using json_writer = rapidjson::Writer<rapidjson::StringBuffer>;

void text(json_writer &w, const char *name, const std::string &value) {
    w.Key(name);
    std::string valid = as_utf8(value);
    w.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

void text_if(json_writer &w, const char *name, const std::string &value) {
    if (!value.empty()) text(w, name, value);
}

void integer(json_writer &w, const char *name, long long value) {
    w.Key(name);
    w.Int64(value);
}

void decimal(json_writer &w, const char *name, double value, int decimals) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", decimals, std::isfinite(value) ? value : 0.0);
    w.Key(name);
    w.RawValue(digits, std::char_traits<char>::length(digits), rapidjson::kNumberType);
}

bool same_talker(const call_record::turn &t, const event &e) {
    return e.protocol == event_protocol::dmr ? t.source == e.source : t.ysf_source == e.ysf_source;
}

// A number the decoders reported as an extra key of the call-end, copied
// only when it is a plain non-negative integer.
void quality(json_writer &w, const event &end, const char *name) {
    const event_field *f = find_extra(end, name);
    if (!f || f->kind != event_field::form::number || f->value.empty() || f->value.size() > 18) return;
    for (char c : f->value)
        if (c < '0' || c > '9') return;
    w.Key(name);
    w.RawValue(f->value.data(), f->value.size(), rapidjson::kNumberType);
}

}  // namespace

void call_record_take(call_record &record, const event &e) {
    const bool first = record.turns.empty();
    if (first) record.first = e;
    record.last = e;
    record.stop = std::max(record.stop, e.time);
    if (first || (e.kind == event_kind::call && !same_talker(record.talking, e))) {
        record.talking = call_record::turn{};
        record.talking.time = e.time;
        record.talking.utc = e.utc;
        record.talking.source = e.source;
        record.talking.ysf_source = e.ysf_source;
        record.talking_kept = record.turns.size() < call_record::kept;
        if (record.talking_kept)
            record.turns.push_back(record.talking);
        else
            ++record.turns_left_out;
    }
    // A talker alias and a name may come with a later update of the turn.
    if (record.talking_kept && same_talker(record.talking, e)) {
        call_record::turn &now = record.turns.back();
        if (!e.source_name.empty()) now.source_name = e.source_name;
        if (!e.alias.empty()) now.alias = e.alias;
    }
    if (e.has_position) {
        const auto &p = record.positions;
        if (!p.empty() && p.back().lat == e.lat && p.back().lon == e.lon) return;
        if (p.size() < call_record::kept)
            record.positions.push_back({e.time, e.lat, e.lon});
        else
            ++record.positions_left_out;
    }
}

std::string utc_plus(const std::string &utc, double seconds) {
    int year, month, day, hour, minute;
    double second;
    char zone = 0;
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%c", &year, &month, &day, &hour, &minute, &second, &zone) !=
            7 ||
        zone != 'Z' || !std::isfinite(seconds))
        return "";
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = 0;
    long long ms = std::llround((second + seconds) * 1000.0);
    time_t whole = timegm(&t) + static_cast<time_t>(std::floor(static_cast<double>(ms) / 1000.0));
    ms = ((ms % 1000) + 1000) % 1000;
    std::tm out{};
    if (!gmtime_r(&whole, &out)) return "";
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", out.tm_year + 1900, out.tm_mon + 1,
                  out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec, ms);
    return text;
}

std::string sidecar_json(const call_record &r) {
    const event &f = r.first, &l = r.last;
    const bool dmr = f.protocol == event_protocol::dmr;
    rapidjson::StringBuffer buffer;
    json_writer w(buffer);
    w.StartObject();
    text(w, "protocol", event_protocol_name(f.protocol));
    if (f.frequency != 0) integer(w, "frequency", f.frequency);
    text_if(w, "station", f.station);
    if (dmr) {
        integer(w, "slot", f.slot);
        text_if(w, "type", l.type.empty() ? f.type : l.type);
        integer(w, "source", f.source);
        integer(w, "target", f.target);
    } else {
        text_if(w, "mode", l.mode.empty() ? f.mode : l.mode);
        text(w, "source", f.ysf_source);
        text(w, "target", f.ysf_target);
    }
    text_if(w, "source_name", r.turns.empty() ? std::string() : r.turns.front().source_name);
    text_if(w, "target_name", l.target_name.empty() ? f.target_name : l.target_name);
    text_if(w, "alias", r.turns.empty() ? std::string() : r.turns.front().alias);
    text_if(w, "radio", l.radio.empty() ? f.radio : l.radio);

    w.Key("sources");
    w.StartArray();
    for (const call_record::turn &t : r.turns) {
        w.StartObject();
        if (dmr)
            integer(w, "source", t.source);
        else
            text(w, "source", t.ysf_source);
        decimal(w, "time", t.time, 3);
        text_if(w, "utc", t.utc);
        text_if(w, "source_name", t.source_name);
        text_if(w, "alias", t.alias);
        w.EndObject();
    }
    w.EndArray();
    w.Key("positions");
    w.StartArray();
    for (const call_record::position &p : r.positions) {
        w.StartObject();
        decimal(w, "time", p.time, 3);
        decimal(w, "lat", p.lat, 6);
        decimal(w, "lon", p.lon, 6);
        w.EndObject();
    }
    w.EndArray();
    if (r.turns_left_out > 0) integer(w, "sources_left_out", r.turns_left_out);
    if (r.positions_left_out > 0) integer(w, "positions_left_out", r.positions_left_out);

    // The call-end's own duration where the call ended, else what the input
    // showed of it.
    const double duration =
        l.kind == event_kind::call_end && l.duration > 0 ? l.duration : std::max(0.0, r.stop - f.time);
    decimal(w, "start", f.time, 3);
    text_if(w, "start_utc", f.utc);
    decimal(w, "stop", r.stop, 3);
    std::string stop_utc = l.kind == event_kind::call_end && !l.utc.empty() ? l.utc : utc_plus(f.utc, duration);
    text_if(w, "stop_utc", stop_utc);
    decimal(w, "duration", duration, 3);

    text(w, "audio", r.audio);
    text(w, "audio_format", r.audio_format);
    decimal(w, "audio_seconds", static_cast<double>(r.samples) / 8000.0, 3);
    if (r.audio_cut) {
        w.Key("audio_cut");
        w.Bool(true);
    }
    if (l.kind == event_kind::call_end) {
        quality(w, l, "voice_frames");
        quality(w, l, "voice_frames_corrected");
        quality(w, l, "voice_frames_lost");
    }
    if (r.interrupted) {
        w.Key("interrupted");
        w.Bool(true);
    }
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}
