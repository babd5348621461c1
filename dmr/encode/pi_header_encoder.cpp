// SPDX-License-Identifier: MIT
#include "pi_header_encoder.h"

#include "burst_builder.h"
#include "data_crc_encoder.h"

namespace dmr_encode {

std::array<uint8_t, 12> pi_header_bytes(const privacy &p, uint32_t target) {
    std::array<uint8_t, 12> b{};
    b[0] = static_cast<uint8_t>(p.algorithm);
    b[2] = static_cast<uint8_t>(p.key_id);
    for (int k = 0; k < 4; ++k) b[3 + k] = static_cast<uint8_t>(p.iv >> (24 - 8 * k));
    b[7] = static_cast<uint8_t>(target >> 16);
    b[8] = static_cast<uint8_t>(target >> 8);
    b[9] = static_cast<uint8_t>(target);
    const uint16_t crc = ccitt_crc(b.data(), 10, mask_pi_header);
    b[10] = static_cast<uint8_t>(crc >> 8);
    b[11] = static_cast<uint8_t>(crc);
    return b;
}

burst pi_header_burst(burst_sync sync, int colour_code, const privacy &p, uint32_t target) {
    return bptc_data_burst(sync, colour_code, 0, pi_header_bytes(p, target).data());
}

}  // namespace dmr_encode
