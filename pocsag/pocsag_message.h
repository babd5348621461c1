#pragma once
// Assembly of one POCSAG page: an address codeword opens the current message,
// the message codewords that follow add their 20 information bits as numeric
// (4-bit) or alphanumeric (7-bit) characters, and a later event writes the
// message as one line "address:%i;message:%s\n" or drops it.

#include <cstdint>
#include <cstdio>

// Where the decoder's text goes. out receives the page lines, err the
// diagnostics. After each page line flush(out) is called; a null flush means
// fflush(out).
struct pocsag_sink {
    FILE *out = nullptr;
    FILE *err = nullptr;
    void (*flush)(FILE *out) = nullptr;
};

// Message types, the two function bits of the address codeword.
inline constexpr int message_type_numeric = 0;
inline constexpr int message_type_alphanumeric = 3;

// Characters a message can hold; the text always ends in a zero byte.
inline constexpr int message_text_limit = 80;

// The current message, held in fixed storage: present is false when there is
// none.
struct pocsag_message {
    bool present = false;
    int32_t address = 0;  // 21 bits: the 18 address bits times 8 plus the frame number
    uint8_t type = 0;     // message_type_numeric or message_type_alphanumeric
    char text[message_text_limit + 1] = {};
    // Numeric: characters stored. Alphanumeric: bits stored (7 per character,
    // first received bit the least significant).
    uint16_t length = 0;
};

// Ends any current message without output, then opens a new, empty message
// of type 0 (numeric) or 3 (alphanumeric). Types 1 and 2 are reported with
// "unable to handle message type %i\n" and leave no current message.
void message_start(pocsag_message &message, int32_t address, int type, const pocsag_sink &sink);

// Adds 20 information bits (first received bit as bit 19) to the current
// message; nothing without one. A full message keeps its text and reports
// "WARNING: message overflow (type 0)\n" or "... (type 3)\n" instead.
void message_append(pocsag_message &message, uint32_t bits, const pocsag_sink &sink);

// Writes the current message as its line, flushes, and discards it. Does
// nothing without a current message.
void message_print(pocsag_message &message, const pocsag_sink &sink);

// Drops the current message, if any, without output.
void message_discard(pocsag_message &message);

// True if there is a current message with at least one character or bit.
bool message_has_content(const pocsag_message &message);
