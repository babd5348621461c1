// SPDX-License-Identifier: MIT
#include "data_message_encoder.h"

#include <cmath>

#include "bptc_196_96_encoder.h"
#include "burst_builder.h"
#include "data_crc_encoder.h"
#include "slot_type_encoder.h"
#include "trellis_3_4_encoder.h"

namespace dmr_encode {

namespace {

int block_size(int data_type) {
    return data_type == data_type_rate_half_value ? 12 : data_type == data_type_rate_three_quarter_value ? 18 : 24;
}

burst block_burst(burst_sync sync, int colour_code, int data_type, const std::vector<uint8_t> &block) {
    if (data_type == data_type_rate_half_value) return bptc_data_burst(sync, colour_code, data_type, block.data());
    uint8_t info[25] = {};
    if (data_type == data_type_rate_three_quarter_value) {
        trellis_3_4_encode(block.data(), info);
    } else {
        // Rate 1: 192 bits, the four bits on each side next to the sync
        // (information bits 96..99) left 0.
        for (int i = 0; i < 192; ++i) {
            const int to = i < 96 ? i : i + 4;
            if ((block[static_cast<std::size_t>(i / 8)] >> (7 - i % 8)) & 1)
                info[to / 8] |= static_cast<uint8_t>(0x80 >> (to % 8));
        }
    }
    return data_burst(sync, slot_type_word(colour_code, data_type), info);
}

void put24(uint8_t *b, uint32_t v) {
    b[0] = static_cast<uint8_t>(v >> 16);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v);
}

void append_utf16(std::vector<uint8_t> &out, uint32_t unit, bool big_endian) {
    if (big_endian) {
        out.push_back(static_cast<uint8_t>(unit >> 8));
        out.push_back(static_cast<uint8_t>(unit));
    } else {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
}

// The code points of well-formed UTF-8 (anything else as U+FFFD).
std::vector<uint32_t> code_points(const std::string &s) {
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        const uint8_t lead = static_cast<uint8_t>(s[i]);
        int extra = lead < 0x80             ? 0
                    : (lead & 0xE0) == 0xC0 ? 1
                    : (lead & 0xF0) == 0xE0 ? 2
                    : (lead & 0xF8) == 0xF0 ? 3
                                            : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            c = (c << 6) | (static_cast<uint8_t>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

int block_data_bytes(int data_type, int format) {
    return block_size(data_type) - (format == data_format_confirmed ? 2 : 0);
}

std::array<uint8_t, 12> data_header_bytes(const data_message &m, int blocks, int pad_octets) {
    std::array<uint8_t, 12> h{};
    const bool short_data = m.format == data_format_defined_short;
    const int high = short_data ? (blocks >> 4) & 0x03 : (pad_octets >> 4) & 0x01;
    const int low = short_data ? blocks & 0x0F : pad_octets & 0x0F;
    h[0] = static_cast<uint8_t>((m.group ? 0x80 : 0) | (high << 4) | (m.format & 0x0F));
    h[1] = static_cast<uint8_t>(((m.sap & 0x0F) << 4) | low);
    put24(&h[2], m.target);
    put24(&h[5], m.source);
    if (short_data) {
        h[8] = static_cast<uint8_t>((m.short_format & 0x3F) << 2);
        h[9] = 0;
    } else {
        h[8] = static_cast<uint8_t>(0x80 | (blocks & 0x7F));  // full message
        h[9] = 0;
    }
    const uint16_t crc = ccitt_crc(h.data(), 10, mask_data_header);
    h[10] = static_cast<uint8_t>(crc >> 8);
    h[11] = static_cast<uint8_t>(crc);
    return h;
}

bool data_message_bursts(const data_message &m, burst_sync sync, int colour_code, std::vector<burst> &out) {
    const int per_block = block_data_bytes(m.data_type, m.format);
    const int needed = static_cast<int>(m.payload.size()) + 4;
    const int blocks = (needed + per_block - 1) / per_block;
    if (blocks > (m.format == data_format_defined_short ? 63 : 127)) return false;
    const int pad = blocks * per_block - needed;
    std::vector<uint8_t> message = m.payload;
    message.resize(static_cast<std::size_t>(blocks * per_block - 4), 0);
    const uint32_t crc = message_crc32(message.data(), message.size());
    for (int k = 0; k < 4; ++k) message.push_back(static_cast<uint8_t>(crc >> (8 * k)));

    const std::array<uint8_t, 12> header = data_header_bytes(m, blocks, pad);
    out.push_back(bptc_data_burst(sync, colour_code, data_type_data_header_value, header.data()));
    const uint16_t mask = m.data_type == data_type_rate_half_value            ? crc9_mask_half
                          : m.data_type == data_type_rate_three_quarter_value ? crc9_mask_three_quarter
                                                                              : crc9_mask_one;
    for (int b = 0; b < blocks; ++b) {
        std::vector<uint8_t> block;
        const uint8_t *data = message.data() + b * per_block;
        if (m.format == data_format_confirmed) {
            const uint16_t crc9 = block_crc9(data, static_cast<std::size_t>(per_block), b & 0x7F, mask);
            block.push_back(static_cast<uint8_t>(((b & 0x7F) << 1) | (crc9 >> 8)));
            block.push_back(static_cast<uint8_t>(crc9));
        }
        block.insert(block.end(), data, data + per_block);
        out.push_back(block_burst(sync, colour_code, m.data_type, block));
    }
    return true;
}

std::vector<uint8_t> udp_packet(uint32_t source, uint32_t target, bool group, int port,
                                const std::vector<uint8_t> &data) {
    std::vector<uint8_t> p(28, 0);
    const std::size_t total = 28 + data.size();
    p[0] = 0x45;
    p[2] = static_cast<uint8_t>(total >> 8);
    p[3] = static_cast<uint8_t>(total);
    p[8] = 64;  // time to live
    p[9] = 17;  // UDP
    p[12] = 12;
    put24(&p[13], source);
    p[16] = group ? 225 : 12;
    put24(&p[17], target);
    uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum += static_cast<uint32_t>(p[static_cast<std::size_t>(i)] << 8 | p[static_cast<std::size_t>(i) + 1]);
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    const uint16_t checksum = static_cast<uint16_t>(~sum);
    p[10] = static_cast<uint8_t>(checksum >> 8);
    p[11] = static_cast<uint8_t>(checksum);
    p[20] = p[22] = static_cast<uint8_t>(port >> 8);
    p[21] = p[23] = static_cast<uint8_t>(port);
    const std::size_t udp_length = 8 + data.size();
    p[24] = static_cast<uint8_t>(udp_length >> 8);
    p[25] = static_cast<uint8_t>(udp_length);
    for (uint8_t b : data) p.push_back(b);
    return p;
}

std::vector<uint8_t> text_message_payload(const std::string &utf8) {
    std::vector<uint8_t> text;
    encode_text(utf8, "utf16le", text);
    std::vector<uint8_t> p = {0, 0, 0xA2, 0x00, 0x01};
    for (uint8_t b : text) p.push_back(b);
    const std::size_t length = p.size() - 2;
    p[0] = static_cast<uint8_t>(length >> 8);
    p[1] = static_cast<uint8_t>(length);
    return p;
}

std::vector<uint8_t> location_payload(double latitude, double longitude) {
    auto scaled = [](double degrees, double range) {
        return static_cast<int32_t>(
            std::llround(std::fmax(std::fmin(degrees * (2147483648.0 / range), 2147483647.0), -2147483648.0)));
    };
    const int32_t lat = scaled(latitude, 90.0), lon = scaled(longitude, 180.0);
    std::vector<uint8_t> p = {0x0D, 0, 0x22, 0x03, 0x00, 0x00, 0x01, 0x66};
    for (int32_t v : {lat, lon})
        for (int k = 3; k >= 0; --k) p.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
    p[1] = static_cast<uint8_t>(p.size() - 2);
    return p;
}

bool encode_text(const std::string &utf8, const std::string &encoding, std::vector<uint8_t> &out) {
    out.clear();
    if (encoding == "utf8") {
        out.assign(utf8.begin(), utf8.end());
        return true;
    }
    const std::vector<uint32_t> points = code_points(utf8);
    if (encoding == "iso8859") {
        for (uint32_t c : points) {
            if (c > 0xFF) return false;
            out.push_back(static_cast<uint8_t>(c));
        }
        return true;
    }
    if (encoding != "utf16be" && encoding != "utf16le") return false;
    const bool big = encoding == "utf16be";
    for (uint32_t c : points) {
        if (c >= 0x10000) {
            append_utf16(out, 0xD800 + ((c - 0x10000) >> 10), big);
            append_utf16(out, 0xDC00 + ((c - 0x10000) & 0x3FF), big);
        } else {
            append_utf16(out, c, big);
        }
    }
    return true;
}

}  // namespace dmr_encode
