// SPDX-License-Identifier: MIT
#include "pocsag_message.h"

#include <cstring>

#include "page_filter.h"
#include "page_text.h"
#include "text_escape.h"

namespace {

// Storage limits: 80 numeric characters, or 560 bits of 7-bit characters.
constexpr int numeric_length_limit = message_text_limit;
constexpr int alphanumeric_length_limit = 7 * message_text_limit;
constexpr int numeric_word_limit = message_text_limit / 5;

// "WARNING: message overflow (type N)\n", 35 bytes, with the message type.
void warn_overflow(int type, FILE *err) {
    char warning[] = "WARNING: message overflow (type 0)\n";
    warning[32] = static_cast<char>('0' + (type & 3));
    std::fwrite(warning, 1, sizeof warning - 1, err);
}

void append_numeric(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    // Lengths grow by whole codewords, so this is "80 characters stored".
    if (message.length + 5 > numeric_length_limit) {
        warn_overflow(message.type, sink.err);
        return;
    }
    append_numeric_word(message.text, message.length, bits);
}

void append_alphanumeric(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    // Lengths grow by whole codewords, so this is "560 bits stored".
    if (message.length + 20 > alphanumeric_length_limit) {
        warn_overflow(message.type, sink.err);
        return;
    }
    append_alphanumeric_word(message.text, message.length, bits);
}

// Function 1 and 2: the word is kept as received until the page ends.
void append_word(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    if (message.word_count >= message_word_limit) {
        warn_overflow(message.type, sink.err);
        return;
    }
    message.words[message.word_count++] = bits;
    message.length = static_cast<uint16_t>(message.length + 20);
}

// Function 1 and 2: the text of the kept words, alphanumeric if they read as
// text, numeric otherwise. Words beyond 80 numeric characters are reported
// as an overflow of the message's type.
void decode_words(pocsag_message &message, const pocsag_sink &sink) {
    std::memset(message.text, 0, sizeof message.text);
    uint16_t length = 0;
    if (words_read_as_text(message.words, message.word_count)) {
        for (int i = 0; i < message.word_count; ++i) append_alphanumeric_word(message.text, length, message.words[i]);
        return;
    }
    for (int i = 0; i < message.word_count; ++i) {
        if (i < numeric_word_limit)
            append_numeric_word(message.text, length, message.words[i]);
        else
            warn_overflow(message.type, sink.err);
    }
}

}  // namespace

void message_start(pocsag_message &message, int32_t address, int type, const pocsag_sink &) {
    message_discard(message);
    message.present = true;
    message.address = address;
    message.type = static_cast<uint8_t>(type & 3);
}

void message_append(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    if (!message.present) return;
    switch (message.type) {
        case message_type_numeric:
            append_numeric(message, bits, sink);
            break;
        case message_type_alphanumeric:
            append_alphanumeric(message, bits, sink);
            break;
        default:
            append_word(message, bits, sink);
            break;
    }
}

void message_print(pocsag_message &message, const pocsag_sink &sink) {
    if (!message.present) return;
    if (!page_is_plausible(message)) {
        message_discard(message);
        return;
    }
    if (message.type != message_type_numeric && message.type != message_type_alphanumeric) decode_words(message, sink);
    // Every received CR, LF and ESC as \xHH: a page is always one line.
    char text[4 * message_text_limit + 1];
    escape_text(text, sizeof text, message.text, std::strlen(message.text), escape_set::line_text);
    if (sink.function_key)
        std::fprintf(sink.out, "address:%i;function:%i;message:%s\n", message.address, message.type, text);
    else
        std::fprintf(sink.out, "address:%i;message:%s\n", message.address, text);
    if (sink.flush)
        sink.flush(sink.out);
    else
        std::fflush(sink.out);
    message_discard(message);
}

void message_discard(pocsag_message &message) { message = pocsag_message{}; }

bool message_has_content(const pocsag_message &message) { return message.present && message.length != 0; }
