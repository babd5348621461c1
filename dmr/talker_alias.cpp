// SPDX-License-Identifier: MIT
#include "talker_alias.h"

#include <cstring>

#include "bits.h"
#include "slot_metadata.h"

namespace {

constexpr int header_data_bits = 49;
constexpr int block_data_bits = 56;

uint32_t bits_at(const uint8_t data[], int first, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = (v << 1) | static_cast<uint32_t>(bit_at(data, first + i));
    return v;
}

// Appends a code point as UTF-8 if it fits with a terminating zero.
bool put_code_point(char *text, std::size_t capacity, std::size_t &n, uint32_t cp) {
    char b[4];
    std::size_t len;
    if (cp < 0x80) {
        b[0] = static_cast<char>(cp);
        len = 1;
    } else if (cp < 0x800) {
        b[0] = static_cast<char>(0xC0 | (cp >> 6));
        b[1] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 2;
    } else if (cp < 0x10000) {
        b[0] = static_cast<char>(0xE0 | (cp >> 12));
        b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[2] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 3;
    } else {
        b[0] = static_cast<char>(0xF0 | (cp >> 18));
        b[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        b[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[3] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 4;
    }
    if (n + len + 1 > capacity) return false;
    std::memcpy(text + n, b, len);
    n += len;
    text[n] = 0;
    return true;
}

constexpr uint32_t replacement_character = 0xFFFD;

// The bytes of the UTF-8 sequence that a lead byte announces (1 for a byte
// that cannot lead one).
int utf8_sequence_length(uint8_t lead) {
    if (lead < 0xC2) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 1;
}

// Decodes the sequence at bytes[0..length) into a code point; false if it is
// not well-formed (bad continuation, overlong, surrogate, beyond U+10FFFF).
bool utf8_code_point(const uint8_t *bytes, int length, uint32_t &cp) {
    static constexpr uint32_t lowest[5] = {0, 0, 0x80, 0x800, 0x10000};
    static constexpr uint8_t lead_mask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    if (length == 1) {
        cp = bytes[0];
        return bytes[0] < 0x80;
    }
    cp = bytes[0] & lead_mask[length];
    for (int i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (bytes[i] & 0x3Fu);
    }
    return cp >= lowest[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

bool decode_utf8(int length, const uint8_t data[], int available_bits, char *text, std::size_t capacity) {
    constexpr int max_bytes = talker_alias_data_bits / 8;
    const int available = available_bits / 8;
    uint8_t bytes[max_bytes];
    for (int i = 0; i < max_bytes; ++i) bytes[i] = static_cast<uint8_t>(bits_at(data, 8 * i, 8));
    std::size_t n = 0;
    int pos = 0;
    for (int chars = 0; chars < length && pos < max_bytes; ++chars) {
        if (pos >= available) return false;
        if (bytes[pos] == 0) return true;
        int seq = utf8_sequence_length(bytes[pos]);
        if (pos + seq > max_bytes) break;  // cut at the last whole character
        if (pos + seq > available) return false;
        uint32_t cp;
        if (!utf8_code_point(bytes + pos, seq, cp)) {
            cp = replacement_character;
            seq = 1;
        }
        if (!put_code_point(text, capacity, n, cp)) break;
        pos += seq;
    }
    return true;
}

bool decode_utf16(int length, const uint8_t data[], int available_bits, char *text, std::size_t capacity) {
    constexpr int max_units = talker_alias_data_bits / 16;
    if (length > max_units) length = max_units;
    if (16 * length > available_bits) return false;
    std::size_t n = 0;
    for (int i = 0; i < length; ++i) {
        uint32_t unit = bits_at(data, 16 * i, 16);
        if (unit == 0) break;
        uint32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length) {
            uint32_t low = bits_at(data, 16 * (i + 1), 16);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = replacement_character;
        if (!put_code_point(text, capacity, n, cp)) break;
    }
    return true;
}

// 7-bit or ISO 8859-1 characters of char_bits each.
bool decode_fixed(int char_bits, int length, const uint8_t data[], int available_bits, char *text,
                  std::size_t capacity) {
    const int max_chars = talker_alias_data_bits / char_bits;
    if (length > max_chars) length = max_chars;
    if (char_bits * length > available_bits) return false;
    std::size_t n = 0;
    for (int i = 0; i < length; ++i) {
        uint32_t c = bits_at(data, char_bits * i, char_bits);
        if (c == 0 || !put_code_point(text, capacity, n, c)) break;
    }
    return true;
}

// The alias data bits of the parts held, and how many of them from bit 0 on
// are there without a gap.
int gather_data(const talker_alias_assembly &a, uint8_t data[talker_alias_data_bytes]) {
    std::memset(data, 0, talker_alias_data_bytes);
    for (int i = 0; i < header_data_bits; ++i) put_bit(data, i, bit_at(a.header, 7 + i));
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < block_data_bits; ++i)
            put_bit(data, header_data_bits + block_data_bits * k + i, bit_at(a.blocks[k], i));
    if (!(a.present & 1)) return 0;
    int available = header_data_bits;
    for (int k = 0; k < 3 && (a.present & (2 << k)); ++k) available += block_data_bits;
    return available;
}

}  // namespace

bool decode_talker_alias(int format, int length, const uint8_t data[talker_alias_data_bytes], int available_bits,
                         char *text, std::size_t capacity) {
    if (capacity == 0) return false;
    text[0] = 0;
    switch (format & 3) {
        case talker_alias_7bit:
            return decode_fixed(7, length, data, available_bits, text, capacity);
        case talker_alias_iso8859:
            return decode_fixed(8, length, data, available_bits, text, capacity);
        case talker_alias_utf8:
            return decode_utf8(length, data, available_bits, text, capacity);
        default:
            return decode_utf16(length, data, available_bits, text, capacity);
    }
}

void take_talker_alias(tessavox_state &state, const uint8_t lc[9], int slot, int part) {
    talker_alias_assembly &a = state.aliases[slot];
    if (part == 0) {
        if ((a.present & 1) && std::memcmp(a.header, lc + 2, 7) != 0) a.present = 0;
        std::memcpy(a.header, lc + 2, 7);
        a.present |= 1;
    } else if (part >= 1 && part <= 3) {
        std::memcpy(a.blocks[part - 1], lc + 2, 7);
        a.present |= static_cast<uint8_t>(1 << part);
    } else {
        return;
    }
    if (!(a.present & 1)) return;

    uint8_t data[talker_alias_data_bytes];
    int available = gather_data(a, data);
    int format = a.header[0] >> 6;
    int length = (a.header[0] >> 1) & 0x1F;
    char text[slot_alias_size];
    if (!decode_talker_alias(format, length, data, available, text, sizeof text) || !text[0]) return;
    set_slot_alias(state, slot, text);
}

void clear_talker_alias(tessavox_state &state, int slot) { state.aliases[slot] = talker_alias_assembly{}; }
