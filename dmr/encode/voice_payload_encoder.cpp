// SPDX-License-Identifier: MIT
#include "voice_payload_encoder.h"

#include "bits.h"
#include "burst_layout.h"
#include "voice_frame_table.h"

namespace dmr_encode {

void interleave_voice(const uint8_t frames[36], uint8_t payload[27]) {
    uint8_t bits[216];
    for (int k = 0; k < 3; ++k) extract_voice_frame(frames + 12 * k, bits + 72 * k);
    pack_bits(bits, 216, payload);
}

void place_voice_payload(const uint8_t payload[27], uint8_t symbols[132]) {
    uint8_t bits[216];
    unpack_bits(payload, 216, bits);
    bits_to_symbols(bits, payload_half_symbols, symbols);
    bits_to_symbols(bits + 2 * payload_half_symbols, payload_half_symbols, symbols + burst_second_half_offset);
}

}  // namespace dmr_encode
