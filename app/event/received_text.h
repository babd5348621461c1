// SPDX-License-Identifier: MIT
#pragma once
// Received text (call signs, aliases, page texts) made safe for each output.
// Everything that arrives over the air is data: any byte may come.

#include <string>
#include <string_view>

// text as valid UTF-8: every byte that does not belong to a well-formed
// UTF-8 sequence (a stray continuation byte, a truncated sequence, an
// overlong form, a surrogate, a code point past U+10FFFF) becomes U+FFFD.
std::string as_utf8(std::string_view text);

// text safe on a terminal line: C0 and C1 controls, DEL, the bidirectional
// controls (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), the
// line and paragraph separators, '"' and '\' are written as "\xHH" (a byte)
// or "\u{HHHH}" (a code point); bytes that are not UTF-8 as "\xHH". What is
// left is printable, and a quoted field cannot end early or imitate another.
std::string printable(std::string_view text);
