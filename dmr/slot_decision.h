// SPDX-License-Identifier: MIT
#pragma once
// Slot assignment from the CACH in front of each burst.
//
// The TACT is 7 of the 24 CACH bits (bits 0, 4, 8, 12, 14, 18, 22, bit 2k
// being the high bit of CACH symbol k), held as TACT bits 6..0: AT (busy),
// TC (slot), LCSS (2 bits), three Hamming (7,4) check bits. The other 17
// bits carry short-LC fragments and are not interpreted.

#include <cstdint>

#include "tessavox_state.h"

struct slot_decision {
    int slot = 0;  // 0 or 1
    int busy = 0;  // AT bit
    int lcss = 0;  // CACH LCSS: 0 single, 1 first, 2 last, 3 continuation
};

// The received (uncorrected) TACT byte of 12 CACH symbols.
uint8_t tact_from_cach(const uint8_t cach_symbols[12]);

// Corrects the TACT and decides the burst's slot. The slot bit TC is
// believed until five bursts in a row have followed the alternation; from
// then on until lost sync the slot alternates whatever TC says. Updates the
// last slot and the slot confidence.
slot_decision decide_slot(tessavox_state &state, const uint8_t cach_symbols[12]);
