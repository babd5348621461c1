#include "pocsag_message.h"

#include <cstring>

namespace {

// Numeric characters by their 4-bit value.
constexpr char numeric_characters[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', '*', 'U', ' ', '-', ')', '('};

// Storage limits: 80 numeric characters, or 560 bits of 7-bit characters.
constexpr int numeric_length_limit = message_text_limit;
constexpr int alphanumeric_length_limit = 7 * message_text_limit;

constexpr char overflow_numeric[] = "WARNING: message overflow (type 0)\n";
constexpr char overflow_alphanumeric[] = "WARNING: message overflow (type 3)\n";

void write_fixed(const char *text, std::size_t length, FILE *stream) { std::fwrite(text, 1, length, stream); }

// Five 4-bit characters, bits 19..16 first; within a group the first received
// bit is the least significant bit of the value.
void append_numeric(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    // Lengths grow by whole codewords, so this is "80 characters stored".
    if (message.length + 5 > numeric_length_limit) {
        write_fixed(overflow_numeric, sizeof overflow_numeric - 1, sink.err);
        return;
    }
    for (int group = 0; group < 5; ++group) {
        int top = 19 - 4 * group;
        int value = 0;
        for (int k = 0; k < 4; ++k) value |= static_cast<int>((bits >> (top - k)) & 1u) << k;
        message.text[message.length++] = numeric_characters[value];
    }
}

// 20 bits into 7-bit characters, first received bit the least significant; a
// character may run on into the next codeword.
void append_alphanumeric(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    // Lengths grow by whole codewords, so this is "560 bits stored".
    if (message.length + 20 > alphanumeric_length_limit) {
        write_fixed(overflow_alphanumeric, sizeof overflow_alphanumeric - 1, sink.err);
        return;
    }
    for (int bit = 19; bit >= 0; --bit) {
        if ((bits >> bit) & 1u) message.text[message.length / 7] |= static_cast<char>(1 << (message.length % 7));
        ++message.length;
    }
}

}  // namespace

void message_start(pocsag_message &message, int32_t address, int type, const pocsag_sink &sink) {
    message_discard(message);
    if (type != message_type_numeric && type != message_type_alphanumeric) {
        std::fprintf(sink.err, "unable to handle message type %i\n", type);
        return;
    }
    message.present = true;
    message.address = address;
    message.type = static_cast<uint8_t>(type);
}

void message_append(pocsag_message &message, uint32_t bits, const pocsag_sink &sink) {
    if (!message.present) return;
    if (message.type == message_type_numeric)
        append_numeric(message, bits, sink);
    else
        append_alphanumeric(message, bits, sink);
}

void message_print(pocsag_message &message, const pocsag_sink &sink) {
    if (!message.present) return;
    std::fprintf(sink.out, "address:%i;message:%s\n", message.address, message.text);
    if (sink.flush)
        sink.flush(sink.out);
    else
        std::fflush(sink.out);
    message_discard(message);
}

void message_discard(pocsag_message &message) {
    message.present = false;
    message.address = 0;
    message.type = 0;
    std::memset(message.text, 0, sizeof message.text);
    message.length = 0;
}

bool message_has_content(const pocsag_message &message) { return message.present && message.length != 0; }
