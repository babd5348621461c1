// SPDX-License-Identifier: MIT
#include "crc16.h"

uint16_t crc16_gsm(const uint8_t *bytes, int n) {
    uint16_t reg = 0;
    for (int i = 0; i < n; ++i) {
        reg = static_cast<uint16_t>(reg ^ (bytes[i] << 8));
        for (int k = 0; k < 8; ++k) reg = static_cast<uint16_t>((reg & 0x8000u) ? (reg << 1) ^ 0x1021u : reg << 1);
    }
    return static_cast<uint16_t>(~reg);
}

bool crc16_matches(const uint8_t *bytes, int n, uint16_t received) { return crc16_gsm(bytes, n) == received; }
