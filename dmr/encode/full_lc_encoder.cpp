// SPDX-License-Identifier: MIT
#include "full_lc_encoder.h"

#include "rs_12_9_encoder.h"

namespace dmr_encode {

void full_lc_bytes(const full_lc &lc, uint8_t bytes[9]) {
    bytes[0] = static_cast<uint8_t>(lc.opcode & 0x3F);
    bytes[1] = lc.feature_set;
    bytes[2] = lc.service_options;
    for (int i = 0; i < 3; ++i) {
        bytes[3 + i] = static_cast<uint8_t>(lc.target >> (16 - 8 * i));
        bytes[6 + i] = static_cast<uint8_t>(lc.source >> (16 - 8 * i));
    }
}

void full_lc_data(const full_lc &lc, uint8_t mask, uint8_t data[12]) {
    full_lc_bytes(lc, data);
    rs_12_9_parity(data, data + 9);
    for (int i = 9; i < 12; ++i) data[i] ^= mask;
}

}  // namespace dmr_encode
