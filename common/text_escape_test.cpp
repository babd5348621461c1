// SPDX-License-Identifier: MIT
#include "text_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string escaped(const std::string &in, escape_set set, size_t capacity = 256) {
    char out[256];
    size_t n = escape_text(out, capacity, in.data(), in.size(), set);
    EXPECT_EQ(out[n], 0);
    return std::string(out, n);
}

}  // namespace

TEST(TextEscape, LineTextEscapesOnlyLineBreaksAndEscape) {
    EXPECT_EQ(escaped("Hello 19:30; ok", escape_set::line_text), "Hello 19:30; ok");
    EXPECT_EQ(escaped("a\nb\rc\x1b[2J", escape_set::line_text), "a\\x0Ab\\x0Dc\\x1B[2J");
    EXPECT_EQ(escaped(std::string("\0\x7f\xe9", 3), escape_set::line_text), std::string("\0\x7f\xe9", 3));
}

// A backslash of the text is escaped as well, so that the escapes can be
// undone exactly: a received "\x0A" stays four characters.
TEST(TextEscape, BackslashEscapedSoThatEscapesUndoExactly) {
    EXPECT_EQ(escaped("C:\\x0A", escape_set::line_text), "C:\\x5Cx0A");
    EXPECT_EQ(escaped("a\\;b", escape_set::metadata_value), "a\\x5C\\x3Bb");
}

TEST(TextEscape, MetadataValueEscapesSemicolonToo) {
    EXPECT_EQ(escaped("DL1;ABC\n", escape_set::metadata_value), "DL1\\x3BABC\\x0A");
    EXPECT_EQ(escaped("N0CALL    ", escape_set::metadata_value), "N0CALL    ");
}

TEST(TextEscape, CutsAtAWholeEscapeNeverPastTheCapacity) {
    // Capacity 6 leaves room for 5 characters: "ab" fits, the escape of LF
    // (4 characters) does not fit after it in full.
    EXPECT_EQ(escaped("ab\ncd", escape_set::line_text, 6), "ab");
    EXPECT_EQ(escaped("ab\ncd", escape_set::line_text, 7), "ab\\x0A");
    EXPECT_EQ(escaped("abc", escape_set::line_text, 1), "");
    char untouched = 'z';
    EXPECT_EQ(escape_text(&untouched, 0, "abc", 3, escape_set::line_text), 0u);
    EXPECT_EQ(untouched, 'z');
}
