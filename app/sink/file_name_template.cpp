// SPDX-License-Identifier: MIT
#include "file_name_template.h"

#include <cstdint>
#include <cstdio>

#include "event_forms.h"
#include "received_text.h"

namespace {

constexpr const char *field_names[] = {"date",        "time",  "seconds", "protocol", "frequency",
                                       "slot",        "type",  "source",  "target",   "source_name",
                                       "target_name", "alias", "radio",   "station"};

bool known_field(const std::string &name) {
    for (const char *f : field_names)
        if (name == f) return true;
    return false;
}

std::string seconds(double time) {
    char text[32];
    std::snprintf(text, sizeof text, "%08.3f", time);
    return text;
}

// Code point of the valid UTF-8 sequence at text[at] (as_utf8 made it so).
uint32_t decode(std::string_view text, size_t at, size_t &length) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t code = length == 1 ? c : length == 2 ? c & 0x1Fu : length == 3 ? c & 0x0Fu : c & 0x07u;
    for (size_t k = 1; k < length && at + k < text.size(); ++k)
        code = (code << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3Fu);
    return code;
}

bool unsafe_in_name(uint32_t code) {
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == '/' || code == '\\' ||
           code == ':' || code == '*' || code == '?' || code == '"' || code == '<' || code == '>' || code == '|' ||
           code == 0x061C || code == 0x200E || code == 0x200F || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// The value of a field for the call whose first event is e.
std::string field_value(const std::string &name, const event &e) {
    const bool dmr = e.protocol == event_protocol::dmr;
    // "2026-12-11T11:19:35.480Z": the date and the time of day without ':'.
    const bool utc = e.utc.size() >= 19 && e.utc[10] == 'T';
    if (name == "date") return utc ? e.utc.substr(0, 10) : "input";
    if (name == "time")
        return utc ? e.utc.substr(11, 2) + e.utc.substr(14, 2) + e.utc.substr(17, 2) : seconds(e.time) + "s";
    if (name == "seconds") return seconds(e.time);
    if (name == "protocol") return event_protocol_name(e.protocol);
    if (name == "frequency") return e.frequency != 0 ? megahertz(e.frequency) : "";
    if (name == "slot") return dmr ? std::to_string(e.slot) : "";
    if (name == "type") return e.type;
    if (name == "source") {
        if (dmr) return std::to_string(e.source);
        return e.ysf_source.empty() ? "unknown" : e.ysf_source;
    }
    if (name == "target") {
        if (dmr) return std::to_string(e.target);
        return e.ysf_target.empty() ? "unknown" : e.ysf_target;
    }
    if (name == "source_name") return e.source_name;
    if (name == "target_name") return e.target_name;
    if (name == "alias") return e.alias;
    if (name == "radio") return e.radio;
    if (name == "station") return e.station;
    return "";
}

name_template default_template(const event &e) {
    std::string text = e.frequency != 0 ? "{seconds}s-{frequency}MHz-{protocol}-" : "{seconds}s-{protocol}-";
    if (e.protocol == event_protocol::dmr) text += "slot{slot}-";
    text += "{source}-to-{target}";
    name_template t;
    std::string error;
    parse_name_template(text, t, error);
    return t;
}

}  // namespace

std::string safe_name_part(std::string_view text) {
    std::string valid = as_utf8(text);
    std::string out;
    out.reserve(valid.size());
    for (size_t at = 0; at < valid.size();) {
        size_t length = 1;
        uint32_t code = decode(valid, at, length);
        if (unsafe_in_name(code))
            out += '_';
        else
            out.append(valid, at, length);
        at += length;
    }
    return out;
}

std::string cut_utf8(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

bool parse_name_template(const std::string &text, name_template &out, std::string &error) {
    out.pieces.clear();
    std::string literal;
    for (size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == '{') {
            size_t close = text.find('}', at);
            if (close == std::string::npos) {
                error = "--audio-name: '{' without '}'";
                return false;
            }
            std::string name = text.substr(at + 1, close - at - 1);
            if (!known_field(name)) {
                error = "--audio-name: no field {" + safe_name_part(cut_utf8(name, 40)) + "}";
                return false;
            }
            if (!literal.empty()) out.pieces.push_back({false, std::move(literal)});
            literal.clear();
            out.pieces.push_back({true, name});
            at = close + 1;
            continue;
        }
        if (c == '}') {
            error = "--audio-name: '}' without '{'";
            return false;
        }
        if (c == '/') {
            error = "--audio-name: a file name cannot hold '/'";
            return false;
        }
        if (c < 0x20 || c == 0x7F) {
            error = "--audio-name: a file name cannot hold control characters";
            return false;
        }
        literal += static_cast<char>(c);
        ++at;
    }
    if (!literal.empty()) out.pieces.push_back({false, std::move(literal)});
    return true;
}

std::string file_stem(const name_template &t, const event &first) {
    const name_template &use = t.pieces.empty() ? default_template(first) : t;
    std::string name;
    for (const name_template::piece &p : use.pieces) {
        name += safe_name_part(p.field ? field_value(p.text, first) : p.text);
        if (name.size() > 4 * longest_file_stem) break;  // enough to cut from
    }
    // A leading '.' would hide the file and could name "." or "..", or one
    // of the files still being written.
    for (char &c : name) {
        if (c != '.') break;
        c = '_';
    }
    name = cut_utf8(std::move(name), longest_file_stem);
    return name.empty() ? "call" : name;
}
