// SPDX-License-Identifier: MIT
#pragma once
// Confirmation of voice. The data sync of a station received with inverted
// polarity is that station's voice sync, so a voice sync alone does not open
// a voice transmission. It does when the slot's last data burst was a voice
// LC header that passed its Reed-Solomon check; otherwise the voice-sync
// burst and the bursts after it are held until one of them shows a valid
// EMB. Held bursts have passed the slot filter and the voice lock as they
// arrived, so once confirmed the output is what it would have been without
// the wait; unconfirmed, they are dropped and the lock is given back.

#include "tessavox_state.h"

// Whether a voice sync in the slot opens voice at once (a voice LC header
// came before it).
bool voice_sync_confirmed(const tessavox_state &state, int slot);

// Holds the voice burst at the read position: takes the gate, keeps its
// frames. The first held burst starts the wait.
void hold_voice_burst(tessavox_state &state, int slot);

// Whether the slot holds voice bursts.
inline bool holding_voice(const tessavox_state &state, int slot) { return state.held[slot].bursts > 0; }

// Whether the slot's wait has room for another burst.
inline bool held_voice_full(const tessavox_state &state, int slot) {
    return state.held[slot].bursts >= held_voice_limit;
}

// A valid EMB confirmed the held voice: the slot's mode becomes voice (its
// line is sent) and the held frames that passed the gate are written in
// order.
void confirm_held_voice(tessavox_state &state, int slot);

// The held bursts were not voice: dropped, and the voice lock goes back to
// the slot that held it before the wait.
void drop_held_voice(tessavox_state &state, int slot);
