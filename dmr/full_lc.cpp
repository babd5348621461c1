#include "full_lc.h"

#include "slot_metadata.h"

namespace {
constexpr int opcode_group_voice = 0;   // group voice channel user
constexpr int opcode_direct_voice = 3;  // unit to unit voice channel user

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
    set_slot_call(state, slot, type, source, target);
}
