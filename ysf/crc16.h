// SPDX-License-Identifier: MIT
#pragma once
// The 16-bit CRC of the System Fusion FICH and data channels: generator
// 0x1021, register starting at 0, data bits most significant first, no
// reflection, the final register inverted (CRC-16/GSM; check value 0xCE3C
// over the ASCII digits "123456789").

#include <cstdint>

// The CRC of n bytes (0 for n <= 0 is the inverted empty register, 0xFFFF).
uint16_t crc16_gsm(const uint8_t *bytes, int n);

// True when the CRC of the n bytes equals received.
bool crc16_matches(const uint8_t *bytes, int n, uint16_t received);
