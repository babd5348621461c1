// SPDX-License-Identifier: MIT
#include "event.h"

#include <cstdio>

namespace {

const char *protocol_name(event_protocol p) {
    switch (p) {
        case event_protocol::dmr:
            return "DMR";
        case event_protocol::ysf:
            return "YSF";
        case event_protocol::pocsag:
            return "POCSAG";
    }
    return "?";
}

const char *kind_name(event_kind k) {
    switch (k) {
        case event_kind::call:
            return "call";
        case event_kind::call_end:
            return "call-end";
        case event_kind::page:
            return "page";
    }
    return "?";
}

// text as a JSON string: quotes, backslashes and control bytes escaped;
// bytes of 0x80 and up (not UTF-8 from these decoders) as \u00XX.
std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string number(double value, const char *format) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void add(std::string &out, const char *key, const std::string &json_value) {
    out += ",\"";
    out += key;
    out += "\":";
    out += json_value;
}

// Text safe on a terminal line: control bytes shown as \xHH.
std::string printable(const std::string &text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

std::string event_json(const call_event &e) {
    std::string out = "{\"protocol\":\"";
    out += protocol_name(e.protocol);
    out += "\",\"event\":\"";
    out += kind_name(e.kind);
    out += "\"";
    add(out, "time", number(e.time, "%.3f"));
    switch (e.protocol) {
        case event_protocol::dmr:
            add(out, "slot", std::to_string(e.slot));
            add(out, "type", json_string(e.type));
            add(out, "source", std::to_string(e.source));
            add(out, "target", std::to_string(e.target));
            if (!e.alias.empty()) add(out, "alias", json_string(e.alias));
            break;
        case event_protocol::ysf:
            add(out, "mode", json_string(e.mode));
            add(out, "source", json_string(e.ysf_source));
            add(out, "target", json_string(e.ysf_target));
            add(out, "up", json_string(e.up));
            add(out, "down", json_string(e.down));
            if (!e.radio.empty()) add(out, "radio", json_string(e.radio));
            break;
        case event_protocol::pocsag:
            add(out, "baud", std::to_string(e.baud));
            add(out, "address", std::to_string(e.address));
            add(out, "function", e.function >= 0 ? std::to_string(e.function) : "null");
            add(out, "message", json_string(e.message));
            break;
    }
    if (e.has_position) {
        add(out, "lat", number(e.lat, "%.6f"));
        add(out, "lon", number(e.lon, "%.6f"));
    }
    if (e.kind == event_kind::call_end) add(out, "duration", number(e.duration, "%.3f"));
    return out + "}\n";
}

std::string event_text(const call_event &e) {
    std::string out = number(e.time, "%9.3f") + "  " + protocol_name(e.protocol);
    switch (e.protocol) {
        case event_protocol::dmr:
            out += " slot " + std::to_string(e.slot) + "  " + kind_name(e.kind) + "  ";
            out += e.type.empty() ? "call" : e.type;
            out += " " + std::to_string(e.source) + " -> " + std::to_string(e.target);
            if (!e.alias.empty()) out += "  alias \"" + printable(e.alias) + "\"";
            break;
        case event_protocol::ysf:
            out += std::string("  ") + kind_name(e.kind) + "  ";
            if (!e.mode.empty()) out += e.mode + " ";
            out += printable(e.ysf_source) + " -> " + printable(e.ysf_target);
            if (!e.up.empty() || !e.down.empty()) out += "  up " + printable(e.up) + " down " + printable(e.down);
            if (!e.radio.empty()) out += "  radio " + e.radio;
            break;
        case event_protocol::pocsag:
            out += " " + std::to_string(e.baud) + "  page  address " + std::to_string(e.address);
            if (e.function >= 0) out += " function " + std::to_string(e.function);
            out += e.message.empty() ? "  (tone)" : "  \"" + printable(e.message) + "\"";
            break;
    }
    if (e.has_position) out += "  at " + number(e.lat, "%.6f") + "," + number(e.lon, "%.6f");
    if (e.kind == event_kind::call_end) out += "  (" + number(e.duration, "%.1f") + " s)";
    return out + "\n";
}
