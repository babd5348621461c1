// SPDX-License-Identifier: MIT
#pragma once
// The EMB of a DMR voice burst without sync, and the centre field that
// carries it: symbols 0..3 hold EMB bits 15..8, symbols 4..19 the 32-bit
// embedded-signalling fragment (bit 31 first), symbols 20..23 EMB bits 7..0.
//
// EMB bits: 15..12 colour code, 11 PI, 10..9 LCSS (0 single, 1 first, 2 last,
// 3 continuation), 8..0 quadratic residue (16,7) check bits.

#include <cstdint>

namespace dmr_encode {

// The 16-bit EMB codeword of colour code (0..15), PI (0 or 1), LCSS (0..3).
uint16_t emb_word(int colour_code, int pi, int lcss);

// Writes the 24 centre-field symbols of an EMB word and a fragment.
void place_emb(uint16_t emb, uint32_t fragment, uint8_t centre[24]);

}  // namespace dmr_encode
