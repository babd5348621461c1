#include "slot_metadata.h"

namespace {
void send(const tessavox_state &state, int slot) {
    send_slot_metadata(state.meta, state.records[slot], static_cast<uint8_t>(slot));
}

void clear_call(slot_record &record) {
    record.type = "";
    record.source = 0;
    record.target = 0;
}
}  // namespace

void change_slot_mode(tessavox_state &state, int slot, uint8_t mode) {
    state.slot_mode[slot] = mode;
    slot_record &record = state.records[slot];
    if (mode == slot_mode_voice) {
        record.sync = slot_sync_voice;
    } else {
        record.sync = slot_sync_data;
        clear_call(record);
    }
    send(state, slot);
}

void set_slot_call(tessavox_state &state, int slot, const char *type, int32_t source, int32_t target) {
    slot_record &record = state.records[slot];
    record.type = type;
    record.source = source;
    record.target = target;
    send(state, slot);
}

void end_slot_call(tessavox_state &state, int slot) {
    slot_record &record = state.records[slot];
    if (record.type[0] == 0 && record.source == 0 && record.target == 0) return;
    clear_call(record);
    send(state, slot);
}

void reset_slot_records(tessavox_state &state) {
    reset_slot_record(state.records[0]);
    reset_slot_record(state.records[1]);
    send(state, 0);
    send(state, 1);
}
