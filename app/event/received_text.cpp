// SPDX-License-Identifier: MIT
#include "received_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at text[at] and its code
// point, or 0 when the bytes there are not one (RFC 3629).
size_t utf8_sequence(std::string_view text, size_t at, uint32_t &code) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char first = byte(0);
    size_t length;
    uint32_t low;
    if (first < 0x80) {
        code = first;
        return 1;
    } else if (first >= 0xC2 && first <= 0xDF) {
        length = 2, code = first & 0x1Fu, low = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, code = first & 0x0Fu, low = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, code = first & 0x07u, low = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(k) & 0x3Fu);
    }
    if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool unsafe_on_terminal(uint32_t code) {
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E ||
           code == 0x200F || code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == '"' || code == '\\';
}

}  // namespace

std::string as_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        size_t n = utf8_sequence(text, at, code);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        out.append(text.substr(at, n));
        at += n;
    }
    return out;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char buffer[16];
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        size_t n = utf8_sequence(text, at, code);
        if (n == 0 || (n == 1 && unsafe_on_terminal(code))) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned char>(text[at]));
            out += buffer;
            ++at;
            continue;
        }
        if (unsafe_on_terminal(code)) {
            std::snprintf(buffer, sizeof buffer, "\\u{%04X}", code);
            out += buffer;
        } else {
            out.append(text.substr(at, n));
        }
        at += n;
    }
    return out;
}
