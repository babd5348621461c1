// SPDX-License-Identifier: MIT
#include "data_message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "data_checks.h"
#include "data_payload.h"
#include "tessavox_state.h"
#include "text_escape.h"

namespace {

constexpr int payload_hex_limit = 256;

struct line_buffer {
    char text[metadata_line_limit];
    int length = 0;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
__attribute__((format(printf, 2, 3))) void add(line_buffer &l, const char *format, ...) {
    const int room = metadata_line_limit - 1 - l.length;
    if (room <= 1) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(l.text + l.length, static_cast<size_t>(room), format, args);
    va_end(args);
    if (n < 0) return;
    l.length += n < room ? n : room - 1;
}
#pragma GCC diagnostic pop

void send(tessavox_state &state, int slot, line_buffer &l) {
    // Room for the newline is always kept.
    l.text[l.length++] = '\n';
    l.text[l.length] = 0;
    send_dmr_event_line(state.meta, static_cast<uint8_t>(slot), l.text, l.length);
}

void add_addresses(line_buffer &l, int slot, const data_header &h) {
    add(l, "protocol:DMR;slot:%i;data:%s;sap:%i;source:%i;target:%i;group:%i;", slot, data_format_name(h.format), h.sap,
        h.source, h.target, h.group ? 1 : 0);
}

void drop(tessavox_state &state, int slot, const char *reason) {
    state.assembly[slot].active = false;
    ++state.data_failures;
    std::fprintf(state.err, "data message dropped in slot %i: %s\n", slot, reason);
    line_buffer l;
    add(l, "protocol:DMR;slot:%i;data_dropped:%s;failures:%u;", slot, reason, state.data_failures);
    send(state, slot, l);
}

void report_message(tessavox_state &state, int slot, const data_header &h, const uint8_t *data, int count) {
    line_buffer l;
    add_addresses(l, slot, h);
    add(l, "bytes:%i;payload:", count);
    const int shown = count < payload_hex_limit ? count : payload_hex_limit;
    for (int i = 0; i < shown; ++i) add(l, "%02X", data[i]);
    add(l, ";");
    if (shown < count) add(l, "truncated:1;");

    std::string text;
    bool has_text = false, has_position = false;
    double latitude = 0, longitude = 0;
    text_encoding encoding;
    if (h.format == dpf_defined_short && short_data_text_encoding(h.short_format, encoding)) {
        text = text_to_utf8(data, static_cast<std::size_t>(count), encoding);
        has_text = !text.empty();
    } else {
        const data_payload_view v = read_ip_payload(data, static_cast<std::size_t>(count));
        if (v.ipv4) {
            add(l, "ip_source:%u.%u.%u.%u;ip_target:%u.%u.%u.%u;", v.ip_source[0], v.ip_source[1], v.ip_source[2],
                v.ip_source[3], v.ip_target[0], v.ip_target[1], v.ip_target[2], v.ip_target[3]);
        }
        if (v.udp) add(l, "udp_source:%i;udp_target:%i;", v.udp_source, v.udp_target);
        has_text = v.has_text;
        text = v.text;
        has_position = v.has_position;
        latitude = v.latitude;
        longitude = v.longitude;
    }
    if (has_text) {
        char escaped[4 * 128 + 1];
        escape_text(escaped, sizeof escaped, text.data(), text.size(), escape_set::metadata_value);
        add(l, "text:%s;", escaped);
        std::fprintf(state.err, "text message in slot %i from %i to %i\n", slot, h.source, h.target);
    }
    if (has_position) add(l, "lat:%.6f;lon:%.6f;", latitude, longitude);
    std::fprintf(state.err, "data message in slot %i: %s, %i bytes from %i to %i\n", slot, data_format_name(h.format),
                 count, h.source, h.target);
    send(state, slot, l);
}

void finish(tessavox_state &state, int slot) {
    data_assembly &a = state.assembly[slot];
    a.active = false;
    if (a.damaged) {
        drop(state, slot, "block_check");
        return;
    }
    if (!message_crc_check(a.bytes, static_cast<std::size_t>(a.length))) {
        drop(state, slot, "message_check");
        return;
    }
    int count = a.length - 4;
    if (a.header.format == dpf_unconfirmed || a.header.format == dpf_confirmed) count -= a.header.pad_octets;
    if (count < 0) count = 0;
    report_message(state, slot, a.header, a.bytes, count);
}

}  // namespace

void take_data_header(tessavox_state &state, int slot, const data_header &h) {
    data_assembly &a = state.assembly[slot];
    if (a.active) {
        // A proprietary header takes the place of the first block.
        if (h.format == dpf_proprietary && a.blocks_received == 0) {
            ++a.blocks_received;
            if (a.blocks_received >= a.header.blocks) finish(state, slot);
            return;
        }
        drop(state, slot, "lost_block");
    }
    std::fprintf(state.err, "data header in slot %i: %s, %i blocks, sap %i, from %i to %i\n", slot,
                 data_format_name(h.format), h.blocks, h.sap, h.source, h.target);
    if (h.format == dpf_response || h.format == dpf_udt || h.format == dpf_proprietary || h.blocks == 0) {
        line_buffer l;
        add_addresses(l, slot, h);
        if (h.format == dpf_response)
            add(l, "class:%i;type:%i;status:%i;", h.response_class, h.response_type, h.response_status);
        if (h.format == dpf_udt) add(l, "udt_format:%i;udt_opcode:%i;", h.udt_format, h.udt_opcode);
        send(state, slot, l);
        // The blocks of a response or a UDT are not taken apart here.
        if (h.format != dpf_unconfirmed && h.format != dpf_confirmed && h.format != dpf_defined_short &&
            h.format != dpf_raw_short)
            return;
        if (h.blocks == 0) return;
    }
    a.active = true;
    a.header = h;
    a.rate = 0;
    a.blocks_received = 0;
    a.damaged = false;
    a.length = 0;
}

void take_data_block(tessavox_state &state, int slot, int data_type, const uint8_t *bytes, int count) {
    data_assembly &a = state.assembly[slot];
    if (!a.active) return;
    if (a.rate == 0) a.rate = data_type;
    if (a.rate != data_type) {
        drop(state, slot, "lost_block");
        return;
    }
    const uint8_t *data = bytes;
    int n = count;
    if (a.header.format == dpf_confirmed) {
        const int serial = bytes[0] >> 1;
        const uint16_t sent = static_cast<uint16_t>((bytes[0] & 1) << 8 | bytes[1]);
        const uint16_t mask = data_type == 7   ? crc9_mask_rate_half
                              : data_type == 8 ? crc9_mask_rate_three_quarter
                                               : crc9_mask_rate_one;
        if (crc9_sent(bytes + 2, static_cast<std::size_t>(count - 2), serial, mask) != sent) a.damaged = true;
        data = bytes + 2;
        n = count - 2;
    }
    if (a.length + n > data_message_limit) {
        drop(state, slot, "lost_block");
        return;
    }
    std::memcpy(a.bytes + a.length, data, static_cast<size_t>(n));
    a.length += n;
    ++a.blocks_received;
    if (a.blocks_received >= a.header.blocks) finish(state, slot);
}

void cut_data_message(tessavox_state &state, int slot, const char *reason) {
    if (state.assembly[slot].active) drop(state, slot, reason);
}
