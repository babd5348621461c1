// SPDX-License-Identifier: MIT
#pragma once
// DMR data messages as a radio sends them (ETSI TS 102 361-1 §9.3, TS 102
// 361-3): a data header and the blocks of the message at rate 1/2 (BPTC),
// rate 3/4 (trellis) or rate 1, unconfirmed, confirmed (serial number and
// CRC-9 in every block) or as defined short data; the last block ends with
// the message CRC-32. And the payloads peers send in them: text over the
// text message service, locations over the location service, both in IPv4
// and UDP.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "burst_layout.h"
#include "sync_patterns.h"

namespace dmr_encode {

inline constexpr int data_type_data_header_value = 6;
inline constexpr int data_type_rate_half_value = 7;
inline constexpr int data_type_rate_three_quarter_value = 8;
inline constexpr int data_type_rate_one_value = 10;

inline constexpr int data_format_unconfirmed = 2;
inline constexpr int data_format_confirmed = 3;
inline constexpr int data_format_defined_short = 13;

struct data_message {
    int format = data_format_unconfirmed;
    int data_type = data_type_rate_half_value;  // of the blocks: 7, 8 or 10
    bool group = false;
    int sap = 4;  // service access point: 4 IP based packet data
    uint32_t target = 9;
    uint32_t source = 2001;
    int short_format = 0;  // defined short data: its data format (6 bits)
    std::vector<uint8_t> payload;
};

// The user data bytes of one block at the data type and format.
int block_data_bytes(int data_type, int format);

// The 12 bytes of the message's data header, CRC included.
std::array<uint8_t, 12> data_header_bytes(const data_message &m, int blocks, int pad_octets);

// The header burst and the block bursts of the message, in order. False if
// the payload needs more than 127 blocks.
bool data_message_bursts(const data_message &m, burst_sync sync, int colour_code, std::vector<burst> &out);

// An IPv4 packet with a UDP header (checksum 0) from source to target
// (addresses 12.x.x.x from the radio ids; a group target 225.x.x.x).
std::vector<uint8_t> udp_packet(uint32_t source, uint32_t target, bool group, int port,
                                const std::vector<uint8_t> &data);

// A text message of the text message service (UDP port 5016): two octets
// of length, a header octet 0xA0 with the count (2) of further header
// octets, those two, then the text in UTF-16LE. utf8: the text.
std::vector<uint8_t> text_message_payload(const std::string &utf8);

// A location report of the location service (UDP port 4001): document id
// 0x0D, its length, a request id token, then the 2D point token 0x66 with
// latitude * 2^31 / 90 and longitude * 2^31 / 180 as 32-bit numbers.
std::vector<uint8_t> location_payload(double latitude, double longitude);

// The UTF-8 text in an encoding of short data: "iso8859" (false if a
// character has no ISO 8859-1 code), "utf8", "utf16be", "utf16le".
bool encode_text(const std::string &utf8, const std::string &encoding, std::vector<uint8_t> &out);

}  // namespace dmr_encode
