// SPDX-License-Identifier: MIT
#include "gps_info.h"

namespace {
constexpr int32_t longitude_not_known = 0x1000000;
constexpr int32_t latitude_not_known = 0x800000;

// The two's complement value of a bits-wide field.
int32_t signed_field(uint32_t code, int bits) {
    return static_cast<int32_t>(code) - ((code >> (bits - 1)) ? (int32_t{1} << bits) : 0);
}
}  // namespace

bool decode_gps_info(const uint8_t lc[9], double &latitude, double &longitude) {
    uint64_t data = 0;
    for (int i = 2; i < 9; ++i) data = (data << 8) | lc[i];
    uint32_t lon_code = static_cast<uint32_t>((data >> 24) & 0x1FFFFFF);
    uint32_t lat_code = static_cast<uint32_t>(data & 0xFFFFFF);
    if (lon_code == longitude_not_known || lat_code == latitude_not_known) return false;
    longitude = signed_field(lon_code, 25) * (360.0 / (1 << 25));
    latitude = signed_field(lat_code, 24) * (180.0 / (1 << 24));
    return true;
}
