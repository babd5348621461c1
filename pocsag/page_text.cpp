// SPDX-License-Identifier: MIT
#include "page_text.h"

#include <initializer_list>

namespace {

constexpr char numeric_characters[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', '*', 'U', ' ', '-', ')', '('};

// The 7-bit character number index (0 the first) of the words.
unsigned character_at(const uint32_t *words, int index) {
    unsigned c = 0;
    for (int k = 0; k < 7; ++k) {
        const int bit = 7 * index + k;
        c |= ((words[bit / 20] >> (19 - bit % 20)) & 1u) << k;
    }
    return c;
}

bool is_printable(unsigned c) { return c >= 0x20 && c < 0x7F; }

// Printable characters and the line breaks of multi-line pages.
bool is_text_character(unsigned c) { return is_printable(c) || c == '\n' || c == '\r'; }

// What transmitters put after the text to fill the last codeword.
bool is_fill_character(unsigned c) { return c == 0x00 || c == 0x03 || c == 0x04; }

}  // namespace

char numeric_character(int value) { return numeric_characters[value & 15]; }

void append_numeric_word(char *text, uint16_t &length, uint32_t word) {
    // Five 4-bit groups, bits 19..16 first; within a group the first received
    // bit is the least significant bit of the value.
    for (int group = 0; group < 5; ++group) {
        const int top = 19 - 4 * group;
        int value = 0;
        for (int k = 0; k < 4; ++k) value |= static_cast<int>((word >> (top - k)) & 1u) << k;
        text[length++] = numeric_character(value);
    }
}

void append_alphanumeric_word(char *text, uint16_t &length, uint32_t word) {
    for (int bit = 19; bit >= 0; --bit) {
        if ((word >> bit) & 1u) text[length / 7] = static_cast<char>(text[length / 7] | (1 << (length % 7)));
        ++length;
    }
}

bool words_read_as_text(const uint32_t *words, int count) {
    const int characters = count * 20 / 7;
    if (characters == 0 || !is_printable(character_at(words, 0))) return false;
    int i = 1;
    while (i < characters && is_text_character(character_at(words, i))) ++i;
    for (; i < characters; ++i)
        if (!is_fill_character(character_at(words, i))) return false;
    // The bits of a last, incomplete character begin a fill character too.
    const int spare = count * 20 - 7 * characters;
    if (spare == 0) return true;
    const unsigned rest = (words[count - 1] & ((1u << spare) - 1u));
    unsigned low = 0;  // the spare bits, first received as bit 0
    for (int k = 0; k < spare; ++k) low |= ((rest >> (spare - 1 - k)) & 1u) << k;
    for (unsigned fill : {0x00u, 0x03u, 0x04u})
        if ((fill & ((1u << spare) - 1u)) == low) return true;
    return false;
}
