// SPDX-License-Identifier: MIT
#include "csbk_encoder.h"

#include "burst_builder.h"
#include "data_crc_encoder.h"

namespace dmr_encode {

csbk_block make_csbk(int opcode, int feature_set, const uint8_t fields[8], bool last_block, bool protect) {
    csbk_block b{};
    b[0] = static_cast<uint8_t>((last_block ? 0x80 : 0) | (protect ? 0x40 : 0) | (opcode & 0x3F));
    b[1] = static_cast<uint8_t>(feature_set);
    for (int i = 0; i < 8; ++i) b[2 + i] = fields[i];
    const uint16_t crc = ccitt_crc(b.data(), 10, mask_csbk);
    b[10] = static_cast<uint8_t>(crc >> 8);
    b[11] = static_cast<uint8_t>(crc);
    return b;
}

csbk_block make_addressed_csbk(int opcode, int feature_set, uint32_t target, uint32_t source, uint8_t byte2,
                               uint8_t byte3) {
    const uint8_t fields[8] = {byte2,
                               byte3,
                               static_cast<uint8_t>(target >> 16),
                               static_cast<uint8_t>(target >> 8),
                               static_cast<uint8_t>(target),
                               static_cast<uint8_t>(source >> 16),
                               static_cast<uint8_t>(source >> 8),
                               static_cast<uint8_t>(source)};
    return make_csbk(opcode, feature_set, fields);
}

burst csbk_burst(burst_sync sync, int colour_code, const csbk_block &block) {
    return bptc_data_burst(sync, colour_code, data_type_csbk_value, block.data());
}

}  // namespace dmr_encode
