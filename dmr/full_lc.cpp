// SPDX-License-Identifier: MIT
#include "full_lc.h"

#include "gps_info.h"
#include "slot_metadata.h"
#include "talker_alias.h"

namespace {
constexpr int opcode_group_voice = 0;   // group voice channel user
constexpr int opcode_direct_voice = 3;  // unit to unit voice channel user
// ETSI TS 102 361-2, with feature set 0 (standard).
constexpr int opcode_talker_alias_header = 4;
constexpr int opcode_talker_alias_block_3 = 7;
constexpr int opcode_gps_info = 8;
constexpr int standard_feature_set = 0;

int32_t address_at(const uint8_t *b) { return (b[0] << 16) | (b[1] << 8) | b[2]; }
}  // namespace

void handle_full_lc(tessavox_state &state, const uint8_t lc[9], int slot) {
    int opcode = lc[0] & 0x3F;
    int32_t target = address_at(lc + 3);
    int32_t source = address_at(lc + 6);
    const char *type;
    if (opcode == opcode_group_voice) {
        std::fprintf(state.err, " group voice; group: %i, source: %i ", target, source);
        type = slot_type_group;
    } else if (opcode == opcode_direct_voice) {
        std::fprintf(state.err, " direct voice; target: %i, source: %i ", target, source);
        type = slot_type_direct;
    } else {
        std::fprintf(state.err, " unknown flc opcode: %i ", opcode);
        return;
    }
    set_slot_call(state, slot, type, source, target, lc[2]);
}

void handle_embedded_lc(tessavox_state &state, const uint8_t lc[9], int slot) {
    int opcode = lc[0] & 0x3F;
    if (lc[1] != standard_feature_set || opcode < opcode_talker_alias_header || opcode > opcode_gps_info) {
        handle_full_lc(state, lc, slot);
        return;
    }
    if (opcode == opcode_gps_info) {
        std::fputs(" gps info ", state.err);
        double latitude, longitude;
        if (decode_gps_info(lc, latitude, longitude)) set_slot_position(state, slot, latitude, longitude);
        return;
    }
    int part = opcode - opcode_talker_alias_header;
    if (part == 0)
        std::fputs(" talker alias header ", state.err);
    else
        std::fprintf(state.err, " talker alias block %i ", part);
    static_assert(opcode_talker_alias_block_3 - opcode_talker_alias_header == 3);
    take_talker_alias(state, lc, slot, part);
}
