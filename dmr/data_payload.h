// SPDX-License-Identifier: MIT
#pragma once
// What a complete, checked DMR data message holds: an IPv4 packet with a
// UDP header, a text message, a location. Only messages whose checks passed
// come here; every field read is bounded by the message.

#include <cstddef>
#include <cstdint>
#include <string>

struct data_payload_view {
    bool ipv4 = false;
    uint8_t ip_source[4] = {}, ip_target[4] = {};
    int ip_protocol = 0;
    bool udp = false;
    int udp_source = 0, udp_target = 0;
    bool has_text = false;
    std::string text;  // UTF-8, control characters replaced, trailing fill removed
    bool has_position = false;
    double latitude = 0.0, longitude = 0.0;
};

// Text encodings of short data and of the text message service.
enum class text_encoding { iso8859_1, utf8, utf16be, utf16le, ascii7 };

// The text as UTF-8: every character of the encoding converted, invalid
// sequences and control characters (other than none) replaced by U+FFFD,
// trailing NUL, space-free fill (NUL, 0xFF) dropped. At most max_bytes of
// output.
std::string text_to_utf8(const uint8_t *bytes, std::size_t count, text_encoding encoding, std::size_t max_bytes = 512);

// The encoding of a defined short data format (ETSI TS 102 361-1), or false
// for a format that carries no text.
bool short_data_text_encoding(int format, text_encoding &encoding);

// Well-known UDP ports: the text message service and the location service.
inline constexpr int udp_port_text_messages = 5016;
inline constexpr int udp_port_location = 4001;

// Reads the IPv4 header (version 4, header checksum correct, total length
// within the message), the UDP header, and a text message (UDP port 5016,
// UTF-16LE after its header) or a location (UDP port 4001: the 2D point or
// circle tokens of the location protocol, latitude scaled by 90 / 2^31 and
// longitude by 180 / 2^31 degrees).
data_payload_view read_ip_payload(const uint8_t *bytes, std::size_t count);
