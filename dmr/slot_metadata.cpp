// SPDX-License-Identifier: MIT
#include "slot_metadata.h"

#include <cstring>

#include "data_message.h"
#include "talker_alias.h"

namespace {
void send(const tessavox_state &state, int slot) {
    send_slot_metadata(state.meta, state.records[slot], static_cast<uint8_t>(slot));
}

// The call ended: its addresses, alias and position are gone.
void clear_call(tessavox_state &state, int slot) {
    slot_record &record = state.records[slot];
    record.type = "";
    record.source = 0;
    record.target = 0;
    std::memset(record.alias, 0, sizeof record.alias);
    record.has_position = false;
    record.latitude = 0.0;
    record.longitude = 0.0;
    clear_talker_alias(state, slot);
    clear_privacy(state, slot);
}

// Encrypted from any of its three sources.
void update_encrypted(tessavox_state &state, int slot) {
    slot_record &record = state.records[slot];
    // A miscorrected EMB can show PI set: the EMBs count only when at
    // least four of the call's say so, four times as many as say not.
    const bool emb = state.emb_privacy[slot] >= 4 && state.emb_privacy[slot] >= 4 * state.emb_clear[slot];
    record.encrypted = state.lc_privacy[slot] || record.has_pi_header || emb;
}
}  // namespace

void clear_privacy(tessavox_state &state, int slot) {
    clear_call_options(state.records[slot]);
    state.lc_privacy[slot] = false;
    state.emb_privacy[slot] = 0;
    state.emb_clear[slot] = 0;
}

void change_slot_mode(tessavox_state &state, int slot, uint8_t mode) {
    state.slot_mode[slot] = mode;
    slot_record &record = state.records[slot];
    if (mode == slot_mode_voice) {
        state.voice_header[slot] = false;  // the header has opened its call
        cut_data_message(state, slot);
        record.sync = slot_sync_voice;
    } else {
        record.sync = slot_sync_data;
        clear_call(state, slot);
    }
    send(state, slot);
}

void set_slot_call(tessavox_state &state, int slot, const char *type, int32_t source, int32_t target,
                   uint8_t service_options) {
    slot_record &record = state.records[slot];
    if (record.source != 0 && source != record.source) {
        // Another caller without a terminator between: the alias, the
        // position and the privacy were the previous caller's.
        std::memset(record.alias, 0, sizeof record.alias);
        record.has_position = false;
        clear_talker_alias(state, slot);
        clear_privacy(state, slot);
    }
    // Service options (ETSI TS 102 361-2): emergency, privacy, two reserved
    // bits, broadcast, open voice call mode, priority.
    record.emergency = (service_options & 0x80) != 0;
    state.lc_privacy[slot] = (service_options & 0x40) != 0;
    record.broadcast = (service_options & 0x08) != 0;
    record.open_voice_call_mode = (service_options & 0x04) != 0;
    record.priority = service_options & 0x03;
    update_encrypted(state, slot);
    record.type = type;
    record.source = source;
    record.target = target;
    send(state, slot);
}

void set_slot_alias(tessavox_state &state, int slot, const char *alias) {
    slot_record &record = state.records[slot];
    if (std::strncmp(record.alias, alias, sizeof record.alias) == 0) return;
    std::strncpy(record.alias, alias, sizeof record.alias - 1);
    record.alias[sizeof record.alias - 1] = 0;
    send(state, slot);
}

void set_slot_position(tessavox_state &state, int slot, double latitude, double longitude) {
    slot_record &record = state.records[slot];
    if (record.has_position && record.latitude == latitude && record.longitude == longitude) return;
    record.has_position = true;
    record.latitude = latitude;
    record.longitude = longitude;
    send(state, slot);
}

void set_slot_pi_header(tessavox_state &state, int slot, int algorithm, int key_id) {
    slot_record &record = state.records[slot];
    const bool same = record.has_pi_header && record.algorithm == algorithm && record.key_id == key_id;
    record.has_pi_header = true;
    record.algorithm = algorithm;
    record.key_id = key_id;
    update_encrypted(state, slot);
    if (!same) send(state, slot);
}

void note_emb_privacy(tessavox_state &state, int slot, bool pi) {
    int &count = pi ? state.emb_privacy[slot] : state.emb_clear[slot];
    if (count < 1000000) ++count;
    slot_record &record = state.records[slot];
    const bool was = record.encrypted;
    update_encrypted(state, slot);
    if (record.encrypted != was) send(state, slot);
}

void end_slot_call(tessavox_state &state, int slot) {
    const slot_record &record = state.records[slot];
    if (record.type[0] == 0 && record.source == 0 && record.target == 0 && !record.alias[0] && !record.has_position &&
        !record.encrypted && !record.has_pi_header && !record.emergency && !record.broadcast &&
        !record.open_voice_call_mode && record.priority == 0)
        return;
    clear_call(state, slot);
    send(state, slot);
}

void reset_slot_records(tessavox_state &state) {
    clear_privacy(state, 0);
    clear_privacy(state, 1);
    reset_slot_record(state.records[0]);
    reset_slot_record(state.records[1]);
    clear_talker_alias(state, 0);
    clear_talker_alias(state, 1);
    send(state, 0);
    send(state, 1);
}
