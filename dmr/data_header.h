// SPDX-License-Identifier: MIT
#pragma once
// The data header of a DMR data message (data type 6; ETSI TS 102 361-1
// §9.3, TS 102 361-3): 10 bytes and a CRC-CCITT with the data header mask.
// Byte 0: group (bit 7), response requested (bit 6), bit 4 the high bit of
// the pad octet count, the data packet format in bits 3..0. Byte 1: service
// access point (bits 7..4). Bytes 2..4 the target, 5..6 the source. Bytes
// 8 and 9 depend on the format.

#include <cstdint>

enum data_packet_format : uint8_t {
    dpf_udt = 0,             // unified data transport
    dpf_response = 1,        // response packet
    dpf_unconfirmed = 2,     // unconfirmed data
    dpf_confirmed = 3,       // confirmed data
    dpf_defined_short = 13,  // defined short data
    dpf_raw_short = 14,      // raw or status/precoded short data
    dpf_proprietary = 15,    // proprietary
};

struct data_header {
    int format = 0;  // data packet format, 0..15
    bool group = false;
    bool response_requested = false;
    int sap = 0;  // service access point, 0..15
    int32_t target = 0;
    int32_t source = 0;
    int blocks = 0;      // blocks to follow (0 for a response without blocks)
    int pad_octets = 0;  // unconfirmed and confirmed data
    bool full_message = false;
    int fragment = 0;                                                // fragment sequence number
    int send_sequence = 0;                                           // confirmed data: N(S)
    bool resynchronise = false;                                      // confirmed data: S
    int response_class = 0, response_type = 0, response_status = 0;  // response
    int udt_format = 0;                                              // UDT: format of the appended blocks
    int udt_opcode = 0;                                              // UDT: opcode
    int short_format = 0;                                            // defined short data: data format (6 bits)
    int bit_padding = 0;                                             // short data: bits of padding in the last block
    int manufacturer = 0;                                            // proprietary: manufacturer id
};

// Checks the CRC of 12 decoded bytes and takes the header's fields; false
// if the CRC fails.
bool decode_data_header(const uint8_t bytes[12], data_header &header);

// The format's name on the metadata line: "udt", "response", "unconfirmed",
// "confirmed", "defined_short", "raw_short", "proprietary", or "reserved".
const char *data_format_name(int format);
