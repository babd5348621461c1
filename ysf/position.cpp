// SPDX-License-Identifier: MIT
#include "position.h"

#include <cmath>

namespace {

// The code's byte ranges, each offset into the printable range and running
// up to 127 (DEL) at the top:
//   d4 high nibble 3:  d6 38..127 is 10..99 degrees
//   d4 high nibble 5:  d6 118..127 is 0..9, 108..117 is 100..109 and
//                      38..107 is 110..179 degrees
//   d7: 88..97 is 0..9 minutes, 38..87 is 10..59
//   d8: 28..127 is 0..99 hundredths of a minute

// Longitude degrees from d6, by the degree range in the high nibble of d4;
// -1 when d6 lies outside the range.
int longitude_degrees(uint8_t range, uint8_t d6) {
    if (range == 3) return d6 >= 38 && d6 <= 127 ? d6 - 28 : -1;
    if (range == 5) {
        if (d6 >= 118 && d6 <= 127) return d6 - 118;
        if (d6 >= 108 && d6 <= 117) return d6 - 8;
        if (d6 >= 38 && d6 <= 107) return d6 + 72;
    }
    return -1;
}

int longitude_minutes(uint8_t d7) {
    if (d7 >= 88 && d7 <= 97) return d7 - 88;
    if (d7 >= 38 && d7 <= 87) return d7 - 28;
    return -1;
}

int longitude_hundredths(uint8_t d8) { return d8 >= 28 && d8 <= 127 ? d8 - 28 : -1; }

}  // namespace

bool decode_position(const uint8_t d[9], float &latitude, float &longitude) {
    int digit[6];
    for (int i = 0; i < 6; ++i) {
        digit[i] = d[i] & 0x0f;
        if (digit[i] > 9) return false;
    }

    float lat = static_cast<float>(10 * digit[0] + digit[1]);
    lat += static_cast<float>(digit[2]) / 6.0f;
    lat += static_cast<float>(digit[3]) / 60.0f;
    lat += static_cast<float>(digit[4]) / 600.0f;
    lat += static_cast<float>(digit[5]) / 6000.0f;
    uint8_t north_south = static_cast<uint8_t>(d[3] >> 4);
    if (north_south == 3)
        lat = -lat;
    else if (north_south != 5)
        return false;

    int degrees = longitude_degrees(static_cast<uint8_t>(d[4] >> 4), d[6]);
    int minutes = longitude_minutes(d[7]);
    int hundredths = longitude_hundredths(d[8]);
    if (degrees < 0 || minutes < 0 || hundredths < 0) return false;

    float lon = static_cast<float>(degrees);
    lon += static_cast<float>(minutes) / 60.0f;
    lon += static_cast<float>(hundredths) / 6000.0f;
    uint8_t east_west = static_cast<uint8_t>(d[5] >> 4);
    if (east_west == 5)
        lon = -lon;
    else if (east_west != 3)
        return false;

    if (std::fabs(lat) > 90.0f || std::fabs(lon) > 180.0f) return false;
    latitude = lat;
    longitude = lon;
    return true;
}
