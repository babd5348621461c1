// SPDX-License-Identifier: MIT
#include "data_burst.h"

#include <cstring>

#include "bits.h"
#include "bptc_196_96.h"
#include "csbk.h"
#include "data_checks.h"
#include "data_header.h"
#include "data_message.h"
#include "full_lc.h"
#include "golay_20_8.h"
#include "hex_dump.h"
#include "rs_12_9.h"
#include "signal_presence.h"
#include "slot_metadata.h"
#include "trellis_3_4.h"

namespace {

// A CSBK whose CRC passes: one diagnostic line and one metadata line.
bool report_csbk(tessavox_state &state, const uint8_t data[12], int slot) {
    csbk_fields csbk;
    if (!decode_csbk(data, csbk)) return false;
    std::fprintf(state.err, "CSBK slot %i: opcode %i%s%s, fid %i", slot, csbk.opcode, csbk.name ? " " : "",
                 csbk.name ? csbk.name : "", csbk.feature_set);
    if (csbk.has_addresses) std::fprintf(state.err, ", source %i, target %i", csbk.source, csbk.target);
    std::fputc('\n', state.err);
    char line[metadata_line_limit];
    const int length = compose_csbk_line(line, sizeof line, slot, csbk);
    send_dmr_event_line(state.meta, static_cast<uint8_t>(slot), line, length);
    return true;
}

// A PI header whose CRC passes (ETSI TS 102 361-1, data type 0): byte 0
// the algorithm, byte 2 the key id, bytes 3..6 the initialisation vector,
// bytes 7..9 the target.
bool report_pi_header(tessavox_state &state, const uint8_t data[12], int slot) {
    if (!crc_ccitt_check(data, 12, crc_mask_pi_header)) return false;
    std::fprintf(state.err, "PI header slot %i: algorithm %i, key id %i\n", slot, data[0], data[2]);
    set_slot_pi_header(state, slot, data[0], data[2]);
    return true;
}

}  // namespace

void read_rate_one_block(const uint8_t info[25], uint8_t block[24]) {
    // 192 of the 196 bits: the four nearest the sync on each side (bits
    // 96..99) are not data.
    std::memset(block, 0, 24);
    for (int i = 0; i < 192; ++i) {
        const int from = i < 96 ? i : i + 4;
        if ((info[from / 8] >> (7 - from % 8)) & 1) block[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
}

uint32_t read_slot_type(const tessavox_state &state) {
    uint8_t symbols[10];
    ring_copy(state.ring, -5, symbols, 5);
    ring_copy(state.ring, 24, symbols + 5, 5);
    return static_cast<uint32_t>(symbols_to_word(symbols, 10));
}

void read_information_bits(const tessavox_state &state, uint8_t bits[25]) {
    uint8_t symbols[98];
    ring_copy(state.ring, -54, symbols, 49);
    ring_copy(state.ring, 29, symbols + 49, 49);
    uint8_t unpacked[196];
    symbols_to_bits(symbols, 98, unpacked);
    pack_bits(unpacked, 196, bits);
}

void handle_data_burst(tessavox_state &state, int slot) {
    uint32_t slot_type = read_slot_type(state);
    if (!golay_20_8_correct(slot_type)) return;
    int data_type = static_cast<int>((slot_type >> 12) & 0xF);
    const int colour_code = static_cast<int>((slot_type >> 16) & 0xF);
    uint8_t info[25];
    read_information_bits(state, info);
    if (data_type == data_type_rate_three_quarter_data) {
        uint8_t block[18];
        if (!state.assembly[slot].active || decode_trellis_3_4(info, block) < 0) {
            std::fputs("skipping 3/4 data frame\n", state.err);
            return;
        }
        note_carries(state, slot, presence_data);
        take_data_block(state, slot, data_type, block, 18);
        return;
    }
    if (data_type == data_type_rate_one_data && state.assembly[slot].active) {
        uint8_t block[24];
        read_rate_one_block(info, block);
        note_carries(state, slot, presence_data);
        take_data_block(state, slot, data_type, block, 24);
        return;
    }

    uint8_t data[12];
    if (!decode_bptc_196_96(info, data)) return;
    // Any burst but a block of the message in the slot: a block was lost.
    if (data_type != data_type_rate_half_data) cut_data_message(state, slot);

    // A voice sync opens voice at once only right after a voice LC header
    // (a PI header may come between them).
    if (data_type != data_type_voice_lc_header && data_type != data_type_pi_header) state.voice_header[slot] = false;

    switch (data_type) {
        case data_type_voice_lc_header:
            // A BPTC can miscorrect a badly received header into other
            // addresses; its Reed-Solomon check drops those silently.
            if (rs_12_9_check(data, rs_12_9_mask_voice_lc_header)) {
                note_colour_code(state, slot, colour_code, true);
                note_carries(state, slot, presence_voice);
                state.voice_header[slot] = true;
                handle_full_lc(state, data, slot);
            }
            break;
        case data_type_terminator_lc:
            if (rs_12_9_check(data, rs_12_9_mask_terminator_lc)) {
                note_colour_code(state, slot, colour_code, true);
                end_slot_call(state, slot);
            }
            break;
        case data_type_idle:
            note_colour_code(state, slot, colour_code, false);
            note_carries(state, slot, presence_idle);
            end_slot_call(state, slot);
            break;
        case data_type_data_header:
        case data_type_rate_half_data: {
            std::fprintf(state.err, "raw data (data_type = %i, slot = %i)\n", data_type, slot);
            hex_dump(state.err, data, 12);
            data_header header;
            if (data_type == data_type_rate_half_data) {
                if (state.assembly[slot].active) note_carries(state, slot, presence_data);
                take_data_block(state, slot, data_type, data, 12);
            } else if (decode_data_header(data, header)) {
                note_colour_code(state, slot, colour_code, true);
                note_carries(state, slot, presence_data);
                take_data_header(state, slot, header);
            }
            break;
        }
        case data_type_pi_header:
            if (report_pi_header(state, data, slot))
                note_colour_code(state, slot, colour_code, true);
            else
                std::fprintf(state.err, "unhandled data_type: %i\n", data_type);
            break;
        case data_type_csbk:
            if (report_csbk(state, data, slot)) {
                note_colour_code(state, slot, colour_code, true);
                note_carries(state, slot, presence_control);
            } else {
                std::fprintf(state.err, "unhandled data_type: %i\n", data_type);
            }
            break;
        default:
            std::fprintf(state.err, "unhandled data_type: %i\n", data_type);
            break;
    }
}
