// SPDX-License-Identifier: MIT
#pragma once
// The rate 3/4 trellis encoder of DMR data (ETSI TS 102 361-1, Annex B).

#include <cstdint>

namespace dmr_encode {

// The 196 information bits (25 bytes, most significant first, low 4 bits of
// the last byte 0) that carry 18 data bytes: 48 tribits and a closing 0
// through the 8-state encoder, constellation points as dibit pairs, the 98
// dibits interleaved.
void trellis_3_4_encode(const uint8_t data[18], uint8_t bits[25]);

}  // namespace dmr_encode
