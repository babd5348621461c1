// SPDX-License-Identifier: MIT
#pragma once
// The position carried in the radio data block of V/D mode 2: nine bytes,
// six decimal digits of latitude (degrees, minutes, hundredths of a minute)
// in the low nibbles of d0..d5, the hemispheres in the high nibbles of d3
// (5 north, 3 south), d4 (longitude degree range) and d5 (3 east, 5 west),
// and longitude degrees, minutes and hundredths in d6, d7 and d8, each
// offset into the printable range.

#include <cstdint>

// Decodes the nine position bytes into latitude (north positive) and
// longitude (east positive) in degrees, in single precision with the sums
// taken in the order degrees, then each minute digit's share. Returns false
// (outputs untouched) for a digit above 9, an unknown hemisphere or degree
// range, a byte outside its range, or a latitude beyond 90 or a longitude
// beyond 180 degrees.
bool decode_position(const uint8_t d[9], float &latitude, float &longitude);
