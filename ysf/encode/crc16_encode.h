// SPDX-License-Identifier: MIT
#pragma once
// CRC-16 of the System Fusion FICH and data channels (the variant known as
// CRC-16/GSM): generator 1021 hexadecimal, register starting at 0, bits
// taken most significant first, no reflection, final register inverted.
// Check value over "123456789": CE3C; four zero bytes give FFFF.

#include <cstdint>

namespace ysf_encode {

// The CRC of n bytes (n >= 0; n of 0 gives FFFF).
uint16_t crc16_compute(const uint8_t *bytes, int n);

}  // namespace ysf_encode
