// SPDX-License-Identifier: MIT
#include "text_escape.h"

namespace {

bool needs_escape(unsigned char byte, escape_set set) {
    // A backslash is escaped too, so that a received "\x0A" (four characters)
    // never reads as an escape: undoing the escapes gives the text exactly.
    if (byte == '\r' || byte == '\n' || byte == 0x1B || byte == '\\') return true;
    return set == escape_set::metadata_value && byte == ';';
}

}  // namespace

size_t escape_text(char *out, size_t capacity, const char *text, size_t length, escape_set set) {
    static constexpr char hex[] = "0123456789ABCDEF";
    if (capacity == 0) return 0;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (needs_escape(byte, set)) {
            if (n + 4 > capacity - 1) break;
            out[n++] = '\\';
            out[n++] = 'x';
            out[n++] = hex[byte >> 4];
            out[n++] = hex[byte & 0x0F];
        } else {
            if (n + 1 > capacity - 1) break;
            out[n++] = static_cast<char>(byte);
        }
    }
    out[n] = 0;
    return n;
}
