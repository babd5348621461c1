// SPDX-License-Identifier: MIT
#include "hex_dump.h"

namespace {
constexpr int line_bytes = 16;

// Writes one line of k bytes (1..16; held to that range so the text buffer
// is never overrun).
void dump_line(FILE *err, const unsigned char *bytes, int k) {
    if (k < 0) k = 0;
    if (k > line_bytes) k = line_bytes;
    char text[line_bytes + 1];
    for (int i = 0; i < k; ++i) {
        std::fprintf(err, "%02X ", bytes[i]);
        if (i == 7) std::fputc(' ', err);
        text[i] = bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '.';
    }
    text[k] = 0;
    if (k == line_bytes) {
        std::fputc(' ', err);
    } else {
        std::fputc(' ', err);
        if (k <= 8) std::fputc(' ', err);
        for (int i = k; i < line_bytes; ++i) std::fputs("   ", err);
    }
    std::fprintf(err, "|  %s \n", text);
}
}  // namespace

void hex_dump(FILE *err, const unsigned char *bytes, int count) {
    for (int offset = 0; offset < count; offset += line_bytes) {
        int k = count - offset < line_bytes ? count - offset : line_bytes;
        dump_line(err, bytes + offset, k);
    }
}
