// SPDX-License-Identifier: MIT
#include "line_fields.h"

#include <cstdlib>

line_fields split_fields(std::string_view line) {
    line_fields result;
    size_t at = 0;
    while (at < line.size()) {
        size_t colon = line.find(':', at);
        if (colon == std::string_view::npos) break;
        std::string key(line.substr(at, colon - at));
        size_t value_start = colon + 1;
        size_t end = key == "message" ? line.size() : line.find(';', value_start);
        if (end == std::string_view::npos) end = line.size();
        result.fields.emplace_back(key, std::string(line.substr(value_start, end - value_start)));
        at = end + 1;
    }
    return result;
}

std::string field_or(const line_fields &line, std::string_view key, const std::string &fallback) {
    for (const auto &[k, v] : line.fields)
        if (k == key) return v;
    return fallback;
}

bool has_field(const line_fields &line, std::string_view key) {
    for (const auto &field : line.fields)
        if (field.first == key) return true;
    return false;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string unescape_received(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex_value(text[i + 2]) >= 0 &&
            hex_value(text[i + 3]) >= 0) {
            char c = static_cast<char>(hex_value(text[i + 2]) * 16 + hex_value(text[i + 3]));
            if (c == '\r' || c == '\n' || c == 0x1B || c == ';' || c == '\\') {
                out += c;
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string trim_trailing_spaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}
