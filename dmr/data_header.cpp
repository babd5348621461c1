// SPDX-License-Identifier: MIT
#include "data_header.h"

#include "data_checks.h"

namespace {
int32_t address_at(const uint8_t *b) { return (b[0] << 16) | (b[1] << 8) | b[2]; }
}  // namespace

bool decode_data_header(const uint8_t b[12], data_header &h) {
    if (!crc_ccitt_check(b, 12, crc_mask_data_header)) return false;
    h = data_header{};
    h.format = b[0] & 0x0F;
    h.group = (b[0] & 0x80) != 0;
    h.response_requested = (b[0] & 0x40) != 0;
    h.sap = b[1] >> 4;
    h.target = address_at(b + 2);
    h.source = address_at(b + 5);
    switch (h.format) {
        case dpf_unconfirmed:
        case dpf_confirmed:
            h.pad_octets = ((b[0] & 0x10) ? 16 : 0) | (b[1] & 0x0F);
            h.full_message = (b[8] & 0x80) != 0;
            h.blocks = b[8] & 0x7F;
            h.fragment = b[9] & 0x0F;
            if (h.format == dpf_confirmed) {
                h.resynchronise = (b[9] & 0x80) != 0;
                h.send_sequence = (b[9] >> 4) & 0x07;
            }
            break;
        case dpf_response:
            h.blocks = b[8] & 0x7F;
            h.response_class = b[9] >> 6;
            h.response_type = (b[9] >> 3) & 0x07;
            h.response_status = b[9] & 0x07;
            break;
        case dpf_defined_short:
        case dpf_raw_short:
            // Appended blocks: two high bits in byte 0, four low in byte 1.
            h.blocks = ((b[0] >> 4) & 0x03) << 4 | (b[1] & 0x0F);
            h.short_format = b[8] >> 2;
            h.bit_padding = b[9];
            break;
        case dpf_udt:
            h.udt_format = b[1] & 0x0F;
            h.pad_octets = b[8] >> 3;      // pad nibbles
            h.blocks = (b[8] & 0x03) + 1;  // appended blocks
            h.udt_opcode = b[9] & 0x3F;
            break;
        case dpf_proprietary:
            h.sap = b[0] >> 4;
            h.manufacturer = b[1];
            break;
        default:
            break;
    }
    return true;
}

const char *data_format_name(int format) {
    switch (format) {
        case dpf_udt:
            return "udt";
        case dpf_response:
            return "response";
        case dpf_unconfirmed:
            return "unconfirmed";
        case dpf_confirmed:
            return "confirmed";
        case dpf_defined_short:
            return "defined_short";
        case dpf_raw_short:
            return "raw_short";
        case dpf_proprietary:
            return "proprietary";
        default:
            return "reserved";
    }
}
