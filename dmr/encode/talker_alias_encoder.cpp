// SPDX-License-Identifier: MIT
#include "talker_alias_encoder.h"

#include <cmath>

#include "bits.h"

namespace dmr_encode {

namespace {

constexpr int data_bits = 217;
constexpr int header_bits = 49;
constexpr int block_bits = 56;

// The code points of UTF-8 text; false if it is not well-formed.
bool code_points(const std::string &text, std::vector<uint32_t> &out) {
    for (std::size_t i = 0; i < text.size();) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        int length = lead < 0x80                   ? 1
                     : lead >= 0xC2 && lead < 0xE0 ? 2
                     : lead >= 0xE0 && lead < 0xF0 ? 3
                     : lead >= 0xF0 && lead < 0xF5 ? 4
                                                   : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) return false;
        uint32_t cp = length == 1 ? lead : lead & (0x7Fu >> length);
        for (int k = 1; k < length; ++k) {
            const uint8_t c = static_cast<uint8_t>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        static constexpr uint32_t lowest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < lowest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.push_back(cp);
        i += static_cast<std::size_t>(length);
    }
    return true;
}

void append_bits(std::vector<uint8_t> &bits, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(static_cast<uint8_t>((value >> i) & 1));
}

// The alias data bits and the length field of the text in the format.
bool alias_bits(const std::vector<uint32_t> &cps, int format, std::vector<uint8_t> &bits, int &length) {
    length = 0;
    for (uint32_t cp : cps) {
        switch (format) {
            case alias_format_7bit:
            case alias_format_iso8859: {
                const int width = format == alias_format_7bit ? 7 : 8;
                if (cp >= (1u << width)) return false;
                append_bits(bits, cp, width);
                ++length;
                break;
            }
            case alias_format_utf8:
                if (cp < 0x80) {
                    append_bits(bits, cp, 8);
                } else if (cp < 0x800) {
                    append_bits(bits, 0xC0 | (cp >> 6), 8);
                    append_bits(bits, 0x80 | (cp & 0x3F), 8);
                } else if (cp < 0x10000) {
                    append_bits(bits, 0xE0 | (cp >> 12), 8);
                    append_bits(bits, 0x80 | ((cp >> 6) & 0x3F), 8);
                    append_bits(bits, 0x80 | (cp & 0x3F), 8);
                } else {
                    append_bits(bits, 0xF0 | (cp >> 18), 8);
                    append_bits(bits, 0x80 | ((cp >> 12) & 0x3F), 8);
                    append_bits(bits, 0x80 | ((cp >> 6) & 0x3F), 8);
                    append_bits(bits, 0x80 | (cp & 0x3F), 8);
                }
                ++length;
                break;
            default:
                if (cp >= 0x10000) {
                    append_bits(bits, 0xD800 + ((cp - 0x10000) >> 10), 16);
                    append_bits(bits, 0xDC00 + ((cp - 0x10000) & 0x3FF), 16);
                    length += 2;
                } else {
                    append_bits(bits, cp, 16);
                    ++length;
                }
                break;
        }
    }
    return length > 0 && length <= 31 && bits.size() <= static_cast<std::size_t>(data_bits);
}

// The signed code of value / step, rounded, kept within the field's codes
// other than its most negative one (the not-known code).
uint32_t coordinate_code(double value, double step, int bits) {
    const long long limit = (1LL << (bits - 1)) - 1;
    long long code = std::llround(value / step);
    if (code > limit) code = limit;
    if (code < -limit) code = -limit;
    return static_cast<uint32_t>(code) & ((1u << bits) - 1);
}

}  // namespace

bool talker_alias_lcs(const std::string &text, int format, std::vector<lc_bytes> &lcs) {
    std::vector<uint32_t> cps;
    std::vector<uint8_t> bits;
    int length = 0;
    if (format < 0 || format > 3 || !code_points(text, cps) || !alias_bits(cps, format, bits, length)) return false;
    const std::size_t used = bits.size();
    bits.resize(data_bits, 0);

    lcs.clear();
    lc_bytes header{};
    header[0] = flc_talker_alias_header;
    header[2] = static_cast<uint8_t>((format << 6) | (length << 1) | bits[0]);
    for (int i = 1; i < header_bits; ++i) put_bit(header.data() + 3, i - 1, bits[static_cast<std::size_t>(i)]);
    lcs.push_back(header);
    for (int k = 0; header_bits + block_bits * k < static_cast<int>(used); ++k) {
        lc_bytes block{};
        block[0] = static_cast<uint8_t>(flc_talker_alias_header + 1 + k);
        for (int i = 0; i < block_bits; ++i)
            put_bit(block.data() + 2, i, bits[static_cast<std::size_t>(header_bits + block_bits * k + i)]);
        lcs.push_back(block);
    }
    return true;
}

lc_bytes gps_info_lc(double latitude, double longitude, int position_error) {
    const uint64_t lon = coordinate_code(longitude, 360.0 / (1 << 25), 25);
    const uint64_t lat = coordinate_code(latitude, 180.0 / (1 << 24), 24);
    const uint64_t data = (static_cast<uint64_t>(position_error & 7) << 49) | (lon << 24) | lat;
    lc_bytes lc{};
    lc[0] = flc_gps_info;
    for (int i = 0; i < 7; ++i) lc[static_cast<std::size_t>(2 + i)] = static_cast<uint8_t>(data >> (48 - 8 * i));
    return lc;
}

}  // namespace dmr_encode
