// SPDX-License-Identifier: MIT
#pragma once
// The EMB of a voice burst without sync: 16 bits from the first and last 4
// symbols of the centre field (colour code, PI, LCSS, QR (16,7) check bits).

#include <cstdint>

#include "tessavox_state.h"

struct emb_fields {
    bool valid = false;
    int colour_code = 0;  // 0..15
    int lcss = 0;         // 0 single, 1 first, 2 last, 3 continuation
    bool pi = false;      // privacy indicator
};

// The received EMB word of the centre field at the read position: symbols
// R .. R+3 give bits 15..8, R+20 .. R+23 bits 7..0. Only the low two bits of
// each symbol byte count.
uint16_t read_emb_word(const tessavox_state &state);

// Corrects an EMB word and takes its fields; not valid if it cannot be
// corrected.
emb_fields decode_emb(uint16_t word);
