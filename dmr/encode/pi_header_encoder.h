// SPDX-License-Identifier: MIT
#pragma once
// The PI header of an encrypted call (data type 0), sent after the voice LC
// header: byte 0 the algorithm, byte 2 the key id, bytes 3..6 the
// initialisation vector, bytes 7..9 the target, then the CRC-CCITT with the
// PI header mask (ETSI TS 102 361-1).

#include <array>
#include <cstdint>

#include "burst_layout.h"
#include "sync_patterns.h"

namespace dmr_encode {

struct privacy {
    int algorithm = 1;  // 0..255
    int key_id = 1;     // 0..255
    uint32_t iv = 0x12345678;
};

std::array<uint8_t, 12> pi_header_bytes(const privacy &p, uint32_t target);

burst pi_header_burst(burst_sync sync, int colour_code, const privacy &p, uint32_t target);

}  // namespace dmr_encode
