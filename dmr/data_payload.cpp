// SPDX-License-Identifier: MIT
#include "data_payload.h"

namespace {

void append_utf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr uint32_t replacement = 0xFFFD;

// A character fit for a line of text: CR, LF and tab pass (the metadata
// writer escapes CR and LF), other control characters do not.
uint32_t printable(uint32_t c) {
    if (c == '\r' || c == '\n' || c == '\t') return c;
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return replacement;
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return replacement;
    return c;
}

// Decodes one UTF-8 sequence at bytes[i]; advances i. Invalid: U+FFFD.
uint32_t next_utf8(const uint8_t *b, std::size_t n, std::size_t &i) {
    const uint8_t lead = b[i++];
    if (lead < 0x80) return lead;
    int extra;
    uint32_t c;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return replacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= n || (b[i] & 0xC0) != 0x80) return replacement;
        c = (c << 6) | (b[i++] & 0x3F);
    }
    static const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra]) return replacement;  // overlong
    return c;
}

uint32_t be32(const uint8_t *b) {
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

}  // namespace

std::string text_to_utf8(const uint8_t *b, std::size_t n, text_encoding encoding, std::size_t max_bytes) {
    // Trailing fill: NUL (also NUL code units of UTF-16) and 0xFF.
    const bool wide = encoding == text_encoding::utf16be || encoding == text_encoding::utf16le;
    if (wide) n &= ~static_cast<std::size_t>(1);
    while (n > 0) {
        if (wide) {
            if (n >= 2 && ((b[n - 1] == 0 && b[n - 2] == 0) || (b[n - 1] == 0xFF && b[n - 2] == 0xFF)))
                n -= 2;
            else
                break;
        } else if (b[n - 1] == 0 || b[n - 1] == 0xFF) {
            --n;
        } else {
            break;
        }
    }
    std::string out;
    std::size_t i = 0;
    while (i < n && out.size() + 4 <= max_bytes) {
        uint32_t c;
        switch (encoding) {
            case text_encoding::iso8859_1:
                c = b[i++];
                break;
            case text_encoding::ascii7:
                c = b[i++] & 0x7F;
                break;
            case text_encoding::utf8:
                c = next_utf8(b, n, i);
                break;
            default: {
                auto unit = [&](std::size_t at) {
                    return encoding == text_encoding::utf16be ? static_cast<uint32_t>(b[at] << 8 | b[at + 1])
                                                              : static_cast<uint32_t>(b[at + 1] << 8 | b[at]);
                };
                if (i + 2 > n) {
                    i = n;
                    continue;
                }
                c = unit(i);
                i += 2;
                if (c >= 0xD800 && c < 0xDC00 && i + 2 <= n) {
                    const uint32_t low = unit(i);
                    if (low >= 0xDC00 && low < 0xE000) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                        i += 2;
                    }
                }
                break;
            }
        }
        append_utf8(out, printable(c));
    }
    return out;
}

bool short_data_text_encoding(int format, text_encoding &encoding) {
    // Defined short data formats (ETSI TS 102 361-1): 2 7-bit characters,
    // 3 ISO 8859-1, 0x13 UTF-8, 0x14 UTF-16 (big-endian without a byte
    // order mark), 0x15 UTF-16BE, 0x16 UTF-16LE.
    switch (format) {
        case 0x02:
            encoding = text_encoding::ascii7;
            return true;
        case 0x03:
            encoding = text_encoding::iso8859_1;
            return true;
        case 0x13:
            encoding = text_encoding::utf8;
            return true;
        case 0x14:
        case 0x15:
            encoding = text_encoding::utf16be;
            return true;
        case 0x16:
            encoding = text_encoding::utf16le;
            return true;
        default:
            return false;
    }
}

data_payload_view read_ip_payload(const uint8_t *b, std::size_t n) {
    data_payload_view v;
    if (n < 20 || (b[0] >> 4) != 4) return v;
    const std::size_t header = static_cast<std::size_t>(b[0] & 0x0F) * 4;
    const std::size_t total = static_cast<std::size_t>(b[2] << 8 | b[3]);
    if (header < 20 || total < header || total > n) return v;
    uint32_t sum = 0;
    for (std::size_t i = 0; i < header; i += 2) sum += static_cast<uint32_t>(b[i] << 8 | b[i + 1]);
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    if (sum != 0xFFFF) return v;
    v.ipv4 = true;
    v.ip_protocol = b[9];
    for (int k = 0; k < 4; ++k) {
        v.ip_source[k] = b[12 + k];
        v.ip_target[k] = b[16 + k];
    }
    if (v.ip_protocol != 17 || total < header + 8) return v;
    const uint8_t *u = b + header;
    const std::size_t udp_length = static_cast<std::size_t>(u[4] << 8 | u[5]);
    if (udp_length < 8 || header + udp_length > total) return v;
    v.udp = true;
    v.udp_source = u[0] << 8 | u[1];
    v.udp_target = u[2] << 8 | u[3];
    const uint8_t *p = u + 8;
    const std::size_t m = udp_length - 8;
    if (v.udp_target == udp_port_text_messages && m >= 4) {
        // Two octets of length, then the message header: its first octet's
        // low five bits count further header octets, after which the text
        // runs in UTF-16LE.
        const std::size_t length = static_cast<std::size_t>(p[0] << 8 | p[1]);
        const std::size_t end = length + 2 < m ? length + 2 : m;
        const std::size_t start = 3 + static_cast<std::size_t>(p[2] & 0x1F);
        if (start < end) {
            v.text = text_to_utf8(p + start, end - start, text_encoding::utf16le);
            v.has_text = !v.text.empty();
        }
    } else if (v.udp_target == udp_port_location && m >= 2) {
        // Document id, length, then tokens; the 2D point (0x66) and circle
        // (0x51) tokens carry latitude and longitude as 32-bit numbers.
        for (std::size_t i = 2; i + 9 <= m; ++i) {
            if (p[i] != 0x66 && p[i] != 0x51) continue;
            const int32_t lat = static_cast<int32_t>(be32(p + i + 1));
            const int32_t lon = static_cast<int32_t>(be32(p + i + 5));
            const double latitude = lat * (90.0 / 2147483648.0), longitude = lon * (180.0 / 2147483648.0);
            if (latitude < -90.0 || latitude > 90.0) continue;
            v.has_position = true;
            v.latitude = latitude;
            v.longitude = longitude;
            break;
        }
    }
    return v;
}
