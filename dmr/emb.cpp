// SPDX-License-Identifier: MIT
#include "emb.h"

#include "bits.h"
#include "qr_16_7.h"

uint16_t read_emb_word(const tessavox_state &state) {
    uint8_t symbols[8];
    ring_copy(state.ring, 0, symbols, 4);
    ring_copy(state.ring, 20, symbols + 4, 4);
    return static_cast<uint16_t>(symbols_to_word(symbols, 8));
}

emb_fields decode_emb(uint16_t word) {
    emb_fields f;
    if (!qr_16_7_correct(word)) return f;
    int value = word >> 9;
    f.valid = true;
    f.colour_code = value >> 3;
    f.lcss = value & 3;
    f.pi = (value & 4) != 0;
    return f;
}
