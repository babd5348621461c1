// SPDX-License-Identifier: MIT
#pragma once
// Full link control of a DMR voice call: 72 bits, nine bytes b0..b8.
//
//   b0      protect flag (bit 7, 0), reserved (bit 6, 0), opcode (bits 5..0)
//   b1      feature set ID
//   b2      service options
//   b3..b5  group address (group call) or target address (direct call), 24
//           bits, b3 most significant
//   b6..b8  source address, 24 bits, b6 most significant

#include <cstdint>

namespace dmr_encode {

inline constexpr uint8_t flc_group_voice = 0;   // group voice channel user
inline constexpr uint8_t flc_direct_voice = 3;  // unit to unit voice channel user

struct full_lc {
    uint8_t opcode = flc_group_voice;  // 0..63
    uint8_t feature_set = 0;
    uint8_t service_options = 0;
    uint32_t target = 0;  // 24 bits; higher bits are dropped
    uint32_t source = 0;  // 24 bits; higher bits are dropped
};

// The nine LC bytes of a full LC.
void full_lc_bytes(const full_lc &lc, uint8_t bytes[9]);

// The twelve data bytes of a voice LC header or terminator burst: the nine
// LC bytes followed by their Reed-Solomon (12,9) parity XOR the mask of the
// burst kind (rs_mask_voice_lc_header or rs_mask_terminator_lc).
void full_lc_data(const full_lc &lc, uint8_t mask, uint8_t data[12]);

}  // namespace dmr_encode
