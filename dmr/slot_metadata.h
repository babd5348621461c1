// SPDX-License-Identifier: MIT
#pragma once
// The slot records and the events on which their metadata lines are sent.
// Each line repeats everything known of the slot, so the latest line per
// slot holds the slot's current state.

#include <cstdint>

#include "tessavox_state.h"

// A sync burst changed the slot's mode to data or voice: sets the mode and
// the record's sync ("data" also clears type, source, target, alias and
// position), then sends the line.
void change_slot_mode(tessavox_state &state, int slot, uint8_t mode);

// A group or direct voice LC was decoded: sets type, source and target and
// sends the line, whether or not anything changed. type is slot_type_group
// or slot_type_direct. A source other than the one held drops the alias and
// the position, which were the previous caller's.
// service_options is the LC's service options byte: emergency, privacy,
// broadcast, open voice call mode and priority are taken from it.
void set_slot_call(tessavox_state &state, int slot, const char *type, int32_t source, int32_t target,
                   uint8_t service_options = 0);

// A PI header whose CRC passed: the call is encrypted with the algorithm
// and key; sent if they are new.
void set_slot_pi_header(tessavox_state &state, int slot, int algorithm, int key_id);

// The PI bit of a valid EMB of the slot. The call counts as encrypted by
// its EMBs once four or more have PI set, four times as many as have it
// clear (so a few miscorrected EMBs of a clear call never mark it); the
// line is sent when that changes.
void note_emb_privacy(tessavox_state &state, int slot, bool pi);

// Drops the privacy and service options of the slot's call.
void clear_privacy(tessavox_state &state, int slot);

// A complete talker alias (UTF-8): stored and sent if it differs from the
// one held.
void set_slot_alias(tessavox_state &state, int slot, const char *alias);

// A position from GPS info: stored and sent if it differs from the one held.
void set_slot_position(tessavox_state &state, int slot, double latitude, double longitude);

// A terminator with LC or an idle burst: clears type, source, target, alias
// and position and sends the line, but only if any of them was set.
void end_slot_call(tessavox_state &state, int slot);

// Lost sync: empties both records, then sends slot 0's and slot 1's line.
void reset_slot_records(tessavox_state &state);
