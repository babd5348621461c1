// SPDX-License-Identifier: MIT
#include "event_forms.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "received_text.h"

namespace {

using json_writer = rapidjson::Writer<rapidjson::StringBuffer>;

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

void key(json_writer &w, const char *name) { w.Key(name); }

void text(json_writer &w, const char *name, const std::string &value) {
    w.Key(name);
    std::string valid = as_utf8(value);
    w.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

void integer(json_writer &w, const char *name, long long value) {
    w.Key(name);
    w.Int64(value);
}

// A number with a fixed count of decimals ("time":0.480), as the readable
// lines show it.
void decimal(json_writer &w, const char *name, double value, int decimals) {
    w.Key(name);
    if (!std::isfinite(value)) {  // JSON has no NaN or infinity
        w.Null();
        return;
    }
    std::string digits = fixed(value, decimals);
    w.RawValue(digits.data(), digits.size(), rapidjson::kNumberType);
}

void dmr_keys(json_writer &w, const event &e) {
    integer(w, "slot", e.slot);
    text(w, "type", e.type);
    integer(w, "source", e.source);
    integer(w, "target", e.target);
    if (!e.alias.empty()) text(w, "alias", e.alias);
}

// Keys of a DMR call that only some calls have, after the fixed ones.
void dmr_flags(json_writer &w, const event &e) {
    if (e.encrypted) {
        key(w, "encrypted");
        w.Bool(true);
        if (e.algorithm >= 0) integer(w, "algorithm", e.algorithm);
        if (e.key_id >= 0) integer(w, "key_id", e.key_id);
    }
    if (e.emergency) {
        key(w, "emergency");
        w.Bool(true);
    }
}

void ysf_keys(json_writer &w, const event &e) {
    text(w, "mode", e.mode);
    text(w, "source", e.ysf_source);
    text(w, "target", e.ysf_target);
    text(w, "up", e.up);
    text(w, "down", e.down);
    if (!e.radio.empty()) text(w, "radio", e.radio);
}

void pocsag_keys(json_writer &w, const event &e) {
    integer(w, "baud", e.baud);
    integer(w, "address", e.address);
    key(w, "function");
    if (e.function >= 0)
        w.Int(e.function);
    else
        w.Null();
    text(w, "message", e.message);
}

void extra_keys(json_writer &w, const event &e) {
    for (const event_field &f : e.extra) {
        const std::string name = as_utf8(f.key);
        w.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        switch (f.kind) {
            case event_field::form::number:
            case event_field::form::raw:
                w.RawValue(f.value.data(), f.value.size(),
                           f.kind == event_field::form::number ? rapidjson::kNumberType : rapidjson::kObjectType);
                break;
            case event_field::form::flag:
                w.Bool(f.value == "true");
                break;
            case event_field::form::text: {
                std::string valid = as_utf8(f.value);
                w.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
                break;
            }
        }
    }
}

// Appends the pieces one by one: gcc 12 warns falsely (-Wrestrict) about
// chains of string additions around a temporary.
void put(std::string &out, std::initializer_list<std::string_view> pieces) {
    for (std::string_view p : pieces) out.append(p);
}

void put_name(std::string &out, const std::string &name) {
    if (!name.empty()) put(out, {" (", printable(name), ")"});
}

// The fields of a call shown on its readable line.
std::string dmr_text(const event &e) {
    std::string out;
    put(out, {" slot ", std::to_string(e.slot), "  ", event_kind_name(e.kind), "  ", e.type.empty() ? "call" : e.type,
              " ", std::to_string(e.source)});
    put_name(out, e.source_name);
    put(out, {" -> ", std::to_string(e.target)});
    put_name(out, e.target_name);
    if (!e.alias.empty()) put(out, {"  alias \"", printable(e.alias), "\""});
    if (e.encrypted) out += "  encrypted";
    if (e.emergency) out += "  emergency";
    return out;
}

std::string ysf_text(const event &e) {
    std::string out;
    put(out, {"  ", event_kind_name(e.kind), "  "});
    if (!e.mode.empty()) put(out, {printable(e.mode), " "});
    out += printable(e.ysf_source);
    put_name(out, e.source_name);
    put(out, {" -> ", printable(e.ysf_target)});
    if (!e.up.empty() || !e.down.empty()) put(out, {"  up ", printable(e.up), " down ", printable(e.down)});
    if (!e.radio.empty()) put(out, {"  radio ", printable(e.radio)});
    return out;
}

std::string pocsag_text(const event &e) {
    std::string out;
    put(out, {" ", std::to_string(e.baud), "  page  address ", std::to_string(e.address)});
    put_name(out, e.name);
    if (e.function >= 0) put(out, {" function ", std::to_string(e.function)});
    if (e.message.empty())
        out += "  (tone)";
    else
        put(out, {"  \"", printable(e.message), "\""});
    return out;
}

}  // namespace

const char *event_kind_name(event_kind kind) {
    switch (kind) {
        case event_kind::call:
            return "call";
        case event_kind::call_end:
            return "call-end";
        case event_kind::page:
            return "page";
        case event_kind::signal:
            return "signal";
        case event_kind::csbk:
            return "csbk";
        case event_kind::data:
            return "data";
        case event_kind::page_repeat:
            return "page-repeat";
        case event_kind::gap:
            return "gap";
    }
    return "?";
}

const char *event_protocol_name(event_protocol protocol) {
    switch (protocol) {
        case event_protocol::dmr:
            return "DMR";
        case event_protocol::ysf:
            return "YSF";
        case event_protocol::pocsag:
            return "POCSAG";
        case event_protocol::input:
            return "INPUT";
    }
    return "?";
}

void add_number(event &e, std::string key, long long value) {
    e.extra.push_back({std::move(key), event_field::form::number, std::to_string(value)});
}

void add_decimal(event &e, std::string key, double value, int decimals) {
    if (!std::isfinite(value)) {
        e.extra.push_back({std::move(key), event_field::form::raw, "null"});
        return;
    }
    e.extra.push_back({std::move(key), event_field::form::number, fixed(value, decimals)});
}

void add_text(event &e, std::string key, std::string value) {
    e.extra.push_back({std::move(key), event_field::form::text, std::move(value)});
}

void add_flag(event &e, std::string key, bool value) {
    e.extra.push_back({std::move(key), event_field::form::flag, value ? "true" : "false"});
}

const event_field *find_extra(const event &e, const std::string &key) {
    for (const event_field &f : e.extra)
        if (f.key == key) return &f;
    return nullptr;
}

std::string megahertz(long long hz) {
    // Whole numbers only: a frequency is an integer of hertz.
    const bool negative = hz < 0;
    const unsigned long long v =
        negative ? 0ULL - static_cast<unsigned long long>(hz) : static_cast<unsigned long long>(hz);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06llu", v % 1000000);
    std::string fraction(digits);
    while (fraction.size() > 4 && fraction.back() == '0') fraction.pop_back();
    return (negative ? "-" : "") + std::to_string(v / 1000000) + "." + fraction;
}

std::string event_json(const event &e) {
    rapidjson::StringBuffer buffer;
    json_writer w(buffer);
    w.StartObject();
    text(w, "protocol", event_protocol_name(e.protocol));
    text(w, "event", event_kind_name(e.kind));
    decimal(w, "time", e.time, 3);
    if (e.kind == event_kind::call || e.kind == event_kind::call_end || e.kind == event_kind::page ||
        e.kind == event_kind::page_repeat) {
        switch (e.protocol) {
            case event_protocol::dmr:
                dmr_keys(w, e);
                break;
            case event_protocol::ysf:
                ysf_keys(w, e);
                break;
            case event_protocol::pocsag:
                pocsag_keys(w, e);
                break;
            case event_protocol::input:
                break;
        }
    }
    if (e.protocol == event_protocol::dmr && (e.kind == event_kind::csbk || e.kind == event_kind::data))
        integer(w, "slot", e.slot);
    if (e.has_position) {
        decimal(w, "lat", e.lat, 6);
        decimal(w, "lon", e.lon, 6);
    }
    if (e.kind == event_kind::call_end) decimal(w, "duration", e.duration, 3);
    if (e.protocol == event_protocol::dmr && (e.kind == event_kind::call || e.kind == event_kind::call_end))
        dmr_flags(w, e);
    if (e.frequency != 0) integer(w, "frequency", e.frequency);
    if (e.frequencies.size() > 1) {
        key(w, "frequencies");
        w.StartArray();
        for (int64_t f : e.frequencies) w.Int64(f);
        w.EndArray();
    }
    if (!e.station.empty()) text(w, "station", e.station);
    if (!e.utc.empty()) text(w, "utc", e.utc);
    if (!e.source_name.empty()) text(w, "source_name", e.source_name);
    if (!e.target_name.empty()) text(w, "target_name", e.target_name);
    if (!e.name.empty()) text(w, "name", e.name);
    if (!e.audio.empty()) text(w, "audio", e.audio);
    if (e.kind == event_kind::page_repeat) integer(w, "repeats", e.repeats);
    extra_keys(w, e);
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string event_text(const event &e) {
    std::string out = fixed(e.time, 3);
    if (out.size() < 9) out.insert(0, 9 - out.size(), ' ');
    if (e.frequency != 0) out += "  " + megahertz(e.frequency);
    out += "  ";
    out += event_protocol_name(e.protocol);
    if (e.kind == event_kind::call || e.kind == event_kind::call_end) {
        out += e.protocol == event_protocol::dmr ? dmr_text(e) : ysf_text(e);
    } else if (e.kind == event_kind::page || e.kind == event_kind::page_repeat) {
        out += pocsag_text(e);
    } else {
        if (e.protocol == event_protocol::dmr && e.slot > 0 && e.kind != event_kind::signal)
            out += " slot " + std::to_string(e.slot);
        put(out, {"  ", event_kind_name(e.kind)});
        if (!e.summary.empty()) put(out, {"  ", printable(e.summary)});
    }
    if (e.has_position) put(out, {"  at ", fixed(e.lat, 6), ",", fixed(e.lon, 6)});
    if (e.frequencies.size() > 1) {
        out += "  (heard on";
        for (int64_t f : e.frequencies) put(out, {" ", megahertz(f)});
        out += ")";
    }
    if (e.kind == event_kind::call_end) put(out, {"  (", fixed(e.duration, 1), " s)"});
    return out + "\n";
}
