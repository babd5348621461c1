// SPDX-License-Identifier: MIT
#pragma once
// GPS info in the embedded LC of a voice call (FLCO 8, feature set 0, ETSI
// TS 102 361-2). Data bytes b2..b8, 56 bits, first most significant:
//   bits 55..52  reserved
//   bits 51..49  position error
//   bits 48..24  longitude, 25-bit two's complement, 360 / 2^25 degrees per
//                step, east positive
//   bits 23..0   latitude, 24-bit two's complement, 180 / 2^24 degrees per
//                step, north positive
// The most negative code of each field (longitude 0x1000000, latitude
// 0x800000) says that the position is not known.

#include <cstdint>

// The position of a GPS info LC in degrees; false for the not-known codes.
bool decode_gps_info(const uint8_t lc[9], double &latitude, double &longitude);
