// SPDX-License-Identifier: MIT
#include "radio_data_encode.h"

#include <cmath>
#include <cstring>

namespace ysf_encode {
namespace {

// An angle as whole degrees, minutes and hundredths of a minute.
struct angle_parts {
    int degrees;
    int minutes;
    int hundredths;
};

angle_parts split_angle(double magnitude) {
    long total = std::lround(magnitude * 6000.0);  // hundredths of a minute
    return {static_cast<int>(total / 6000), static_cast<int>(total / 100 % 60), static_cast<int>(total % 100)};
}

// The longitude degree byte d6 and the high nibble of d4 that selects its
// offset, or false for degrees beyond the code (180).
bool longitude_degree_code(int degrees, uint8_t &d6, uint8_t &nibble) {
    nibble = 5;
    if (degrees >= 10 && degrees <= 99) {
        nibble = 3;
        d6 = static_cast<uint8_t>(degrees + 28);
    } else if (degrees >= 0 && degrees <= 9) {
        d6 = static_cast<uint8_t>(degrees + 118);
    } else if (degrees >= 100 && degrees <= 109) {
        d6 = static_cast<uint8_t>(degrees + 8);
    } else if (degrees >= 110 && degrees <= 179) {
        d6 = static_cast<uint8_t>(degrees - 72);
    } else {
        return false;
    }
    return true;
}

// The longitude minute byte d7 (minutes 0..59).
uint8_t longitude_minute_code(int minutes) { return static_cast<uint8_t>(minutes <= 9 ? minutes + 88 : minutes + 28); }

inline uint8_t digit(int high_nibble, int value) { return static_cast<uint8_t>((high_nibble << 4) | value); }

}  // namespace

call_sign_field call_sign(std::string_view text) {
    call_sign_field field;
    field.fill(' ');
    for (size_t i = 0; i < text.size() && i < field.size(); ++i) field[i] = static_cast<uint8_t>(text[i]);
    return field;
}

bool encode_position(double latitude, double longitude, uint8_t bytes[position_bytes]) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) return false;
    if (std::fabs(latitude) > 90.0 || std::fabs(longitude) > 180.0) return false;
    angle_parts lat = split_angle(std::fabs(latitude));
    angle_parts lon = split_angle(std::fabs(longitude));
    uint8_t d6 = 0, nibble = 0;
    if (!longitude_degree_code(lon.degrees, d6, nibble)) return false;
    uint8_t d7 = longitude_minute_code(lon.minutes);
    // A value that rounds to zero is sent as north or east.
    bool north = !(latitude < 0.0 && (lat.degrees || lat.minutes || lat.hundredths));
    bool east = !(longitude < 0.0 && (lon.degrees || lon.minutes || lon.hundredths));
    bytes[0] = digit(3, lat.degrees / 10);
    bytes[1] = digit(3, lat.degrees % 10);
    bytes[2] = digit(3, lat.minutes / 10);
    bytes[3] = digit(north ? 5 : 3, lat.minutes % 10);
    bytes[4] = digit(nibble, lat.hundredths / 10);
    bytes[5] = digit(east ? 3 : 5, lat.hundredths % 10);
    bytes[6] = d6;
    bytes[7] = d7;
    bytes[8] = static_cast<uint8_t>(lon.hundredths + 28);
    return true;
}

void seal_radio_data_block(uint8_t block[radio_block_bytes]) {
    block[18] = 0x03;
    unsigned sum = 0;
    for (int i = 0; i < 19; ++i) sum += block[i];
    block[19] = static_cast<uint8_t>(sum);
}

void build_radio_data_block(const uint8_t kind[3], uint8_t model, const uint8_t *position,
                            uint8_t block[radio_block_bytes]) {
    std::memset(block, 0, radio_block_bytes);
    std::memcpy(block + 1, kind, 3);
    block[4] = model;
    if (position) std::memcpy(block + 5, position, position_bytes);
    seal_radio_data_block(block);
}

}  // namespace ysf_encode
