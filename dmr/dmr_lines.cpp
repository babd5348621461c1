// SPDX-License-Identifier: MIT
#include "dmr_lines.h"

#include <cstdlib>

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string unescape(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 3 < v.size() && v[i + 1] == 'x' && hex_digit(v[i + 2]) >= 0 &&
            hex_digit(v[i + 3]) >= 0) {
            out += static_cast<char>(hex_digit(v[i + 2]) * 16 + hex_digit(v[i + 3]));
            i += 3;
        } else {
            out += v[i];
        }
    }
    return out;
}

}  // namespace

const std::string *dmr_line::find(std::string_view key) const {
    for (const auto &[k, v] : fields)
        if (k == key) return &v;
    return nullptr;
}

long long dmr_line::number(std::string_view key, long long fallback) const {
    const std::string *v = find(key);
    if (!v || v->empty()) return fallback;
    char *end = nullptr;
    const long long n = std::strtoll(v->c_str(), &end, 10);
    return *end == 0 ? n : fallback;
}

dmr_line read_dmr_line(std::string_view line) {
    dmr_line out;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    constexpr std::string_view head = "protocol:DMR;slot:";
    if (line.substr(0, head.size()) != head) return out;
    std::size_t at = head.size();
    const std::size_t semicolon = line.find(';', at);
    if (semicolon == std::string_view::npos || semicolon == at) return out;
    const std::string_view slot = line.substr(at, semicolon - at);
    if (slot != "0" && slot != "1") return out;
    at = semicolon + 1;
    std::vector<std::pair<std::string, std::string>> fields;
    while (at < line.size()) {
        const std::size_t colon = line.find(':', at);
        const std::size_t end = line.find(';', at);
        if (colon == std::string_view::npos || end == std::string_view::npos || colon > end) return out;
        fields.emplace_back(std::string(line.substr(at, colon - at)),
                            unescape(line.substr(colon + 1, end - colon - 1)));
        at = end + 1;
    }
    out.slot = slot[0] - '0';
    out.fields = std::move(fields);
    const std::string first = out.fields.empty() ? "" : out.fields.front().first;
    if (first == "csbk")
        out.kind = dmr_line_kind::csbk;
    else if (first == "data")
        out.kind = dmr_line_kind::data_message;
    else if (first == "data_dropped")
        out.kind = dmr_line_kind::data_dropped;
    else if (first == "signal")
        out.kind = dmr_line_kind::presence;
    else
        out.kind = dmr_line_kind::slot_state;
    return out;
}
