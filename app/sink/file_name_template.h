// SPDX-License-Identifier: MIT
#pragma once
// The names of per-call files: a template of fields ("{date}_{time}_{target}")
// filled from a call's first event. Whatever the air sent is made safe for a
// file name: no '/', no control characters, no leading '.', valid UTF-8, and
// the name bounded.
//
// Fields: {date} {time} (UTC from the event's wall-clock time: 2026-12-11 and
// 111935; without one, "input" and the input time "0000.480s"), {seconds}
// (input time, 0000.480), {protocol} (DMR, YSF), {frequency} (MHz, empty on a
// narrowband input), {slot} (1 or 2; empty for System Fusion), {type},
// {source}, {target} (DMR ids or System Fusion call signs), {source_name},
// {target_name}, {alias}, {radio}, {station}.

#include <string>
#include <string_view>
#include <vector>

#include "event.h"

struct name_template {
    // Literal text and fields, in turn; a field's text is its name.
    struct piece {
        bool field = false;
        std::string text;
    };
    std::vector<piece> pieces;  // empty: the default names
};

// The longest name a template gives, in bytes, before a number that tells
// apart two calls of the same name and the extension are added (the name
// in all stays within 200 bytes).
inline constexpr size_t longest_file_stem = 190;

// Reads a template; false with a one-line reason for an unknown field, an
// unclosed brace, a '/' or a control character. An empty text is the
// default.
bool parse_name_template(const std::string &text, name_template &out, std::string &error);

// The name of a call's files without extension: "0000.480s-DMR-slot1-2001-to-9"
// by default ("0000.480s-439.0125MHz-DMR-..." when the frequency is known).
std::string file_stem(const name_template &t, const event &first);

// text as one safe part of a file name: valid UTF-8 (other bytes become
// U+FFFD); '/', '\', NUL and every other control character, the
// bidirectional controls and the characters that shared folders refuse
// (: * ? " < > |) become '_'.
std::string safe_name_part(std::string_view text);

// text cut to at most limit bytes, never inside a UTF-8 sequence.
std::string cut_utf8(std::string text, size_t limit);
