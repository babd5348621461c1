// SPDX-License-Identifier: MIT
#pragma once
// The "key:value;" fields of a metadata line or a page line, as the
// decoders write them.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct line_fields {
    std::vector<std::pair<std::string, std::string>> fields;  // in line order
};

// Splits a line (without its newline) into its fields. A page line's last
// field, "message:", runs to the end of the line, semicolons included, since
// the page text is free text; every other value ends at the next ';'.
line_fields split_fields(std::string_view line);

// The value of key, or fallback when the line has no such field.
std::string field_or(const line_fields &line, std::string_view key, const std::string &fallback = "");
bool has_field(const line_fields &line, std::string_view key);

// Undoes the "\xHH" escapes the decoders write for CR, LF, ESC, ';' and '\'
// in received text; any other backslash sequence is left as it stands.
std::string unescape_received(std::string_view text);

// text without its trailing spaces (call-sign fields are padded to 10).
std::string trim_trailing_spaces(std::string text);
