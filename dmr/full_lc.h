// SPDX-License-Identifier: MIT
#pragma once
// Full link control: 9 bytes b0..b8 from the embedded signalling of a voice
// superframe or from a voice LC header burst. b0 bits 5..0 are the full LC
// opcode, b3..b5 the group or target address, b6..b8 the source address
// (most significant byte first); b1, b2 (feature set, service options) are
// not used.

#include <cstdint>

#include "tessavox_state.h"

// Writes the call to the diagnostics (" group voice; group: G, source: S "
// for opcode 0, " direct voice; target: T, source: S " for opcode 3) and
// puts it into the slot's record, which is sent. Any other opcode writes
// " unknown flc opcode: N " and changes nothing.
void handle_full_lc(tessavox_state &state, const uint8_t lc[9], int slot);

// An LC from the embedded signalling of a voice superframe: with feature
// set 0, FLCO 4 (talker alias header, " talker alias header "), 5..7
// (talker alias blocks 1..3, " talker alias block N ") and 8 (GPS info,
// " gps info ") go to the slot's alias and position; every other LC to
// handle_full_lc.
void handle_embedded_lc(tessavox_state &state, const uint8_t lc[9], int slot);
