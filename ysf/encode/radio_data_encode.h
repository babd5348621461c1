// SPDX-License-Identifier: MIT
#pragma once
// Call-sign fields and the radio data block of System Fusion voice/data
// mode 2, with the encoding of a transmitted position.
//
// Radio data block, 20 bytes, sent as the data of frames 6 (bytes 0-9) and
// 7 (bytes 10-19):
//   0      0 (counted in the checksum only)
//   1-3    kind: 47 63 5F or 22 61 5F (no position), 22 62 5F (position)
//   4      radio model code (2B is "FT-70D"; see the decoder's model table)
//   5-13   position (encode_position) for kind 22 62 5F, else 0
//   14-17  0 (counted in the checksum only)
//   18     terminator 03
//   19     checksum: sum of bytes 0-18 modulo 256

#include <array>
#include <cstdint>
#include <string_view>

namespace ysf_encode {

// A call-sign field: 10 bytes as sent, not zero-terminated.
using call_sign_field = std::array<uint8_t, 10>;

// The field of a text call sign: its first 10 bytes, padded with spaces.
call_sign_field call_sign(std::string_view text);

inline constexpr int radio_block_bytes = 20;
inline constexpr int position_bytes = 9;

// Kinds of radio data block (bytes 1-3).
inline constexpr uint8_t radio_kind_gc[3] = {0x47, 0x63, 0x5F};        // no position
inline constexpr uint8_t radio_kind_a[3] = {0x22, 0x61, 0x5F};         // no position
inline constexpr uint8_t radio_kind_position[3] = {0x22, 0x62, 0x5F};  // position follows

// The nine position bytes d0..d8 of a latitude (degrees, north positive,
// -90..90) and longitude (degrees, east positive, -180..180), rounded to the
// nearest hundredth of a minute of arc:
//   d0 d1   latitude degrees, two ASCII digits (high nibble 3)
//   d2 d3   latitude minutes, two digits; high nibble of d3 5 north, 3 south
//   d4 d5   latitude hundredths of a minute, two digits; high nibble of d4
//           3 for longitude degrees 10-99, 5 otherwise; of d5 3 east, 5 west
//   d6      longitude degrees: +28 (10-99), +118 (0-9), +8 (100-109), -72 (110-179)
//   d7      longitude minutes: +88 (0-9), +28 (10-59)
//   d8      longitude hundredths of a minute + 28 (0-99)
// Every longitude below 180 degrees has a code. Returns false, writing
// nothing, for a value out of range or not finite, and for a longitude that
// rounds to 180 degrees, which the code cannot carry.
bool encode_position(double latitude, double longitude, uint8_t bytes[position_bytes]);

// Lays out a radio data block of the kind (three bytes), model code and,
// when position is not null, the nine position bytes (else bytes 5-13 are
// 0), then seals it (terminator and checksum).
void build_radio_data_block(const uint8_t kind[3], uint8_t model, const uint8_t *position,
                            uint8_t block[radio_block_bytes]);

// Sets byte 18 to 03 and byte 19 to the checksum of bytes 0-18.
void seal_radio_data_block(uint8_t block[radio_block_bytes]);

}  // namespace ysf_encode
