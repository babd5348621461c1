// SPDX-License-Identifier: MIT
#pragma once
// Voice output: the three AMBE frames of a voice burst, deinterleaved into
// 12-byte codec frames and written as one 36-byte unit, subject to the slot
// filter and the voice lock (only one slot's voice at a time reaches the
// output stream).

#include <cstdint>

#include "tessavox_state.h"

// Places the three 72-bit frames of a burst's 27 payload bytes (216 bits,
// frame k being bits 72k .. 72k+71) into three 12-byte codec frames with the
// voice frame table.
void deinterleave_voice(const uint8_t payload[27], uint8_t frames[36]);

// The 27 payload bytes of the burst whose centre field starts at the read
// position: the 54 symbols before it and the 54 after it.
void read_voice_payload(const tessavox_state &state, uint8_t payload[27]);

// The filter and the voice lock for a voice burst of the slot: true if its
// frames are to be written; the slot then holds the lock. A slot that the
// filter excludes gives the lock up.
bool pass_voice_gate(tessavox_state &state, int slot);

// The three codec frames of the burst at the read position.
void read_voice_frames(const tessavox_state &state, uint8_t frames[36]);

// Writes one burst's 36 bytes of codec frames and flushes them; a reader that
// has gone away sets output_gone.
void write_voice_frames(tessavox_state &state, const uint8_t frames[36]);

// A burst of a voice-mode slot: written if the filter admits the slot and
// no other slot holds the voice lock; the slot then holds the lock. A slot
// that the filter excludes gives the lock up.
void output_voice_burst(tessavox_state &state, int slot);

// A burst of the slot handled as non-voice gives up the slot's voice lock.
void release_voice_lock(tessavox_state &state, int slot);
