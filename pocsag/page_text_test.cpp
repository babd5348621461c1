// SPDX-License-Identifier: MIT
// Pages of every function: the function bits choose the pager's alert, the
// text decides how it is read; the text is always one line.

#include "page_text.h"

#include <gtest/gtest.h>

#include "pocsag_test_support.h"

namespace {

using kind = pocsag_text_kind;

struct function_case {
    const char *name;
    pocsag_page page;
    std::string line;  // with "function:N;"
};

TEST(PagewickPages, FunctionBitsChooseTheAlertNotTheText) {
    const std::string time_signal = "+++TIME=0008300324+++TIME=0008300324";
    const function_case cases[] = {
        {"text with function 1",
         {16, 1, kind::alphanumeric, "Fire alarm, unit 4"},
         "address:16;function:1;message:Fire alarm, unit 4\n"},
        {"text with function 2, one character", {17, 2, kind::alphanumeric, "A"}, "address:17;function:2;message:A\n"},
        {"a network's time signal, ended by NUL",
         {18, 1, kind::alphanumeric, time_signal + '\0'},
         "address:18;function:1;message:" + time_signal + "\n"},
        {"text ended by ETX",
         {19, 2, kind::alphanumeric, "call back\x03"},
         "address:19;function:2;message:call back\x03\n"},
        {"two lines",
         {20, 1, kind::alphanumeric, "line one\r\nline two"},
         "address:20;function:1;message:line one\\x0D\\x0Aline two\n"},
        // As 7-bit text these read "U", LF and a part character that is no
        // fill: numeric.
        {"digits filled up with spaces", {21, 2, kind::numeric, "555"}, "address:21;function:2;message:555  \n"},
        {"digits of a whole codeword", {22, 1, kind::numeric, "12345"}, "address:22;function:1;message:12345\n"},
        {"a long number",
         {23, 1, kind::numeric, "0049301234567-12"},
         "address:23;function:1;message:0049301234567-12    \n"},
        {"tone page, function 1", {24, 1, kind::numeric, ""}, "address:24;function:1;message:\n"},
        {"tone page, function 2", {25, 2, kind::numeric, ""}, "address:25;function:2;message:\n"},
        {"tone page, function 0", {26, 0, kind::numeric, ""}, "address:26;function:0;message:\n"},
        {"tone page, function 3", {27, 3, kind::alphanumeric, ""}, "address:27;function:3;message:\n"},
        {"function 0 stays numeric", {28, 0, kind::numeric, "911"}, "address:28;function:0;message:911  \n"},
        {"function 3 stays alphanumeric", {29, 3, kind::alphanumeric, "AB"}, "address:29;function:3;message:AB\n"},
    };
    for (const function_case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bits = pocsag_transmission({c.page});
        decoded d = decode_to_end(bits, true);
        EXPECT_EQ(d.out, c.line);
        EXPECT_EQ(d.err, "found sync at 576\n");
        // The plain line is the same without the function field.
        const std::string field = "function:" + std::to_string(c.page.function) + ";";
        std::string plain = c.line;
        plain.erase(plain.find(field), field.size());
        EXPECT_EQ(decode_to_end(bits).out, plain);
    }
}

// Received CR, LF and ESC cannot start a line of their own or reach the
// terminal: a forged page stays inside the real one.
TEST(PagewickPages, TextIsAlwaysOneLine) {
    const std::string forged = "hi\naddress:1;message:forged";
    decoded d = decode_to_end(pocsag_transmission({{3, 3, kind::alphanumeric, forged + "\x1b[2J\r"}}));
    EXPECT_EQ(d.out, "address:3;message:hi\\x0Aaddress:1;message:forged\\x1B[2J\\x0D\n");
    // Function 1 text with a line break still reads as text.
    d = decode_to_end(pocsag_transmission({{3, 1, kind::alphanumeric, forged}}));
    EXPECT_EQ(d.out, "address:3;message:hi\\x0Aaddress:1;message:forged\n");
}

// 29 alphanumeric or 17 numeric words of function 1 or 2: the 80 characters
// kept, and the words beyond reported with the message's type.
TEST(PagewickPages, OverflowOfFunctionOneAndTwo) {
    std::string letters, digits;
    for (int i = 0; i < 82; ++i) letters += static_cast<char>('A' + i % 26);
    for (int i = 0; i < 85; ++i) digits += static_cast<char>('0' + i % 10);
    decoded text = decode_to_end(pocsag_transmission({{8, 1, kind::alphanumeric, letters}}));
    EXPECT_EQ(text.out, "address:8;message:" + letters.substr(0, 80) + "\n");
    EXPECT_EQ(text.err, "found sync at 576\nWARNING: message overflow (type 1)\n");
    decoded numbers = decode_to_end(pocsag_transmission({{8, 2, kind::numeric, digits}}));
    EXPECT_EQ(numbers.out, "address:8;message:" + digits.substr(0, 80) + "\n");
    EXPECT_EQ(numbers.err, "found sync at 576\nWARNING: message overflow (type 2)\n");
}

struct reading_case {
    const char *name;
    std::vector<uint32_t> words;
    bool text;
};

// The 7-bit reading, word by word (first received bit as bit 19).
TEST(PageText, WhatReadsAsText) {
    const reading_case cases[] = {
        {"no words", {}, false},
        {"AB and zero fill", {0x82840u}, true},
        {"AB, then the EOT that ends it cut short", {0x82848u}, true},
        {"starts with a line break", pocsag_alphanumeric_words("\nAB"), false},
        {"text, NUL, then more text", pocsag_alphanumeric_words(std::string("AB\0CD", 5)), false},
        {"a control character inside",
         pocsag_alphanumeric_words("AB\x07"
                                   "CD"),
         false},
        {"AB, then a part character that is no fill", {0x82860u}, false},
        {"numeric 12345", pocsag_numeric_words("12345"), false},
    };
    for (const reading_case &c : cases) {
        EXPECT_EQ(words_read_as_text(c.words.data(), static_cast<int>(c.words.size())), c.text) << c.name;
    }
}

}  // namespace
