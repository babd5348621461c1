// SPDX-License-Identifier: MIT
#include "voice_confirmation.h"

#include <cstring>

#include "slot_metadata.h"
#include "voice_output.h"

bool voice_sync_confirmed(const tessavox_state &state, int slot) { return state.voice_header[slot]; }

void hold_voice_burst(tessavox_state &state, int slot) {
    held_voice &h = state.held[slot];
    if (h.bursts >= held_voice_limit) return;
    if (h.bursts == 0) h.lock_before = state.voice_slot;
    h.write[h.bursts] = pass_voice_gate(state, slot);
    read_voice_frames(state, h.frames[h.bursts]);
    ++h.bursts;
}

void confirm_held_voice(tessavox_state &state, int slot) {
    held_voice &h = state.held[slot];
    const int count = h.bursts;
    h.bursts = 0;
    change_slot_mode(state, slot, slot_mode_voice);
    for (int k = 0; k < count; ++k)
        if (h.write[k]) write_voice_frames(state, h.frames[k]);
}

void drop_held_voice(tessavox_state &state, int slot) {
    held_voice &h = state.held[slot];
    if (h.bursts == 0) return;
    h.bursts = 0;
    if (state.voice_slot == slot) state.voice_slot = h.lock_before;
}
