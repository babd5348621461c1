// SPDX-License-Identifier: MIT
#pragma once
// The text of POCSAG message codewords (ITU-R M.584): numeric pages carry
// 4-bit characters, five to a codeword; alphanumeric pages carry 7-bit
// characters (ITU-T T.50), running on across codewords. In both the first
// received bit of a character is its least significant bit. Information
// words hold a codeword's 20 information bits, first received bit as bit 19.

#include <cstdint>

// The numeric character of a 4-bit value (0..15): "0123456789*U -)(".
char numeric_character(int value);

// Appends the five numeric characters of one word at text[length], adding 5
// to length. The caller keeps room for them.
void append_numeric_word(char *text, uint16_t &length, uint32_t word);

// Ors the 20 bits of one word into the zero-filled text as 7-bit characters,
// bit number length (counted from the message's first bit) into byte
// length / 7 at bit length % 7, adding 20 to length. The caller keeps room
// for (length + 20 + 6) / 7 bytes.
void append_alphanumeric_word(char *text, uint16_t &length, uint32_t word);

// True if the words read as alphanumeric text: their complete 7-bit
// characters are at least one printable character (0x20..0x7E, tab, LF or
// CR), then nothing but fill (NUL, ETX, EOT) to the end. The bits of a last,
// incomplete character are not looked at. Numeric words almost never pass:
// digits put control characters into the 7-bit reading.
bool words_read_as_text(const uint32_t *words, int count);
