// SPDX-License-Identifier: MIT
#include "voice_output.h"

#include <cerrno>
#include <cstring>

#include "bits.h"
#include "codec_frame.h"
#include "voice_frame_table.h"

void deinterleave_voice(const uint8_t payload[27], uint8_t frames[36]) {
    uint8_t bits[ambe_coded_bits];
    for (int k = 0; k < 3; ++k) {
        unpack_bits(payload + 9 * k, ambe_coded_bits, bits);
        place_voice_frame(bits, frames + ambe_frame_bytes * k);
    }
}

void read_voice_payload(const tessavox_state &state, uint8_t payload[27]) {
    uint8_t symbols[108];
    ring_copy(state.ring, -54, symbols, 54);
    ring_copy(state.ring, 24, symbols + 54, 54);
    uint8_t bits[216];
    symbols_to_bits(symbols, 108, bits);
    pack_bits(bits, 216, payload);
}

bool pass_voice_gate(tessavox_state &state, int slot) {
    if ((state.slot_filter & (slot + 1)) == 0) {
        // A muted slot gives up the lock, so that the other slot is heard.
        release_voice_lock(state, slot);
        return false;
    }
    if (state.voice_slot != -1 && state.voice_slot != slot) return false;
    state.voice_slot = slot;
    return true;
}

void read_voice_frames(const tessavox_state &state, uint8_t frames[36]) {
    uint8_t payload[27];
    read_voice_payload(state, payload);
    deinterleave_voice(payload, frames);
}

void write_voice_frames(tessavox_state &state, const uint8_t frames[36]) {
    std::fwrite(frames, 1, dmr_voice_unit_bytes, state.out);
    errno = 0;
    if (std::fflush(state.out) != 0 && errno == EPIPE) state.output_gone = true;
}

void output_voice_burst(tessavox_state &state, int slot) {
    if (!pass_voice_gate(state, slot)) return;
    uint8_t frames[dmr_voice_unit_bytes];
    read_voice_frames(state, frames);
    write_voice_frames(state, frames);
}

void release_voice_lock(tessavox_state &state, int slot) {
    if (state.voice_slot == slot) state.voice_slot = -1;
}
