// SPDX-License-Identifier: MIT
#pragma once
// Assembly of one POCSAG page: an address codeword opens the current message,
// the message codewords that follow add their 20 information bits as numeric
// (4-bit) or alphanumeric (7-bit) characters, and a later event writes the
// message as one line "address:%i;message:%s\n" or drops it.
//
// The two function bits of the address codeword choose the pager's alert.
// Function 0 is a numeric page and function 3 an alphanumeric one; networks
// send either kind of text with function 1 or 2, so those messages are kept
// as received words and decoded when printed (see page_text.h). A page
// without message codewords is a tone page and prints with an empty text.

#include <cstdint>
#include <cstdio>

// Where the decoder's text goes and how a page line looks. out receives the
// page lines, err the diagnostics. After each page line flush(out) is called;
// a null flush means fflush(out). With function_key each line carries
// "function:N;" before "message:".
struct pocsag_sink {
    FILE *out = nullptr;
    FILE *err = nullptr;
    void (*flush)(FILE *out) = nullptr;
    bool function_key = false;
};

// Message types, the two function bits of the address codeword.
inline constexpr int message_type_numeric = 0;
inline constexpr int message_type_alphanumeric = 3;

// Characters a message can hold; the text always ends in a zero byte.
inline constexpr int message_text_limit = 80;

// Information words a function 1 or 2 message keeps: enough for 80 7-bit
// characters (560 bits).
inline constexpr int message_word_limit = 28;

// The current message, held in fixed storage: present is false when there is
// none.
struct pocsag_message {
    bool present = false;
    int32_t address = 0;  // 21 bits: the 18 address bits times 8 plus the frame number
    uint8_t type = 0;     // the function bits, 0..3
    char text[message_text_limit + 1] = {};
    // Numeric: characters stored. Alphanumeric, function 1 and 2: bits
    // stored (7 per alphanumeric character, first received bit the least
    // significant).
    uint16_t length = 0;
    // Function 1 and 2: the information words as received (first received
    // bit as bit 19), turned into text when the page is printed.
    uint32_t words[message_word_limit] = {};
    uint8_t word_count = 0;
    // What the page cost to receive, for telling a page from noise
    // (page_filter.h): codewords taken (address, message and the idle
    // codewords while it is current), bits flipped by BCH correction over
    // them, and of the sync codeword that opened the address codeword's
    // batch, its wrong bits and whether it followed a preamble or a batch.
    uint16_t codewords = 0;
    uint16_t corrected_bits = 0;
    uint8_t sync_errors = 0;
    bool sync_confirmed = false;
    // The bits correction flipped in the address codeword; the codewords
    // after it (message, idle, or the address codeword that ends the page)
    // that needed no correction; whether its batch had lost its alignment
    // before it (see page_filter.h); and what ended the page.
    uint8_t address_flips = 0;
    uint8_t clean_codewords_after = 0;
    bool after_misaligned_run = false;
    uint8_t end = 0;
};

// What ended a page: the next address codeword, an idle codeword after
// text, loss of synchronisation, or the end of the input.
inline constexpr uint8_t page_end_address = 0;
inline constexpr uint8_t page_end_idle = 1;
inline constexpr uint8_t page_end_lost_sync = 2;
inline constexpr uint8_t page_end_input = 3;

// Ends any current message without output, then opens a new, empty message
// with the function bits (0..3) as its type. Function 0 is numeric, 3
// alphanumeric, 1 and 2 are decoded when printed.
void message_start(pocsag_message &message, int32_t address, int type, const pocsag_sink &sink);

// Adds 20 information bits (first received bit as bit 19) to the current
// message; nothing without one. A full message keeps its text and reports
// "WARNING: message overflow (type N)\n" with its type instead.
void message_append(pocsag_message &message, uint32_t bits, const pocsag_sink &sink);

// Writes the current message as its line, flushes, and discards it; a page
// that page_filter.h takes for noise is discarded without a line. CR, LF and
// ESC of the text are written as "\xHH". Does nothing without a current
// message.
void message_print(pocsag_message &message, const pocsag_sink &sink);

// Drops the current message, if any, without output.
void message_discard(pocsag_message &message);

// True if there is a current message with at least one character or bit.
bool message_has_content(const pocsag_message &message);
