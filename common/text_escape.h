// SPDX-License-Identifier: MIT
#pragma once
// Escaping of received text before it reaches a line-oriented output, so that
// a page is always one line and a metadata value always one field, whatever
// bytes the transmitter sent.

#include <cstddef>

// Which bytes are written as "\xHH" (upper-case hex). Every other byte passes
// unchanged.
enum class escape_set {
    line_text,       // CR, LF, ESC and '\': a page text on its own output line
    metadata_value,  // CR, LF, ESC, '\' and ';': one value of a "key:value;" field
};

// Copies length bytes of text into out (capacity bytes, zero-terminated when
// capacity > 0), escaping the bytes of the set. Output is cut at a whole
// character or a whole escape, never in the middle of one. Returns the length
// written, without the terminating zero.
size_t escape_text(char *out, size_t capacity, const char *text, size_t length, escape_set set);
