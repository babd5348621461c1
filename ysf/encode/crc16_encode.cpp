// SPDX-License-Identifier: MIT
#include "crc16_encode.h"

namespace ysf_encode {

uint16_t crc16_compute(const uint8_t *bytes, int n) {
    uint16_t reg = 0;
    for (int i = 0; i < n; ++i) {
        reg ^= static_cast<uint16_t>(bytes[i] << 8);
        for (int k = 0; k < 8; ++k)
            reg = (reg & 0x8000u) ? static_cast<uint16_t>((reg << 1) ^ 0x1021u) : static_cast<uint16_t>(reg << 1);
    }
    return static_cast<uint16_t>(~reg);
}

}  // namespace ysf_encode
