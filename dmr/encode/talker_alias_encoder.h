// SPDX-License-Identifier: MIT
#pragma once
// Talker alias and GPS info LCs of the embedded signalling (ETSI TS 102
// 361-2), nine LC bytes each with feature set 0, sent in voice superframes
// between the superframes that carry the call's voice LC.
//
// Talker alias: a header (FLCO 4) and up to three blocks (FLCO 5, 6, 7).
// Header b2: format (bits 7..6), length in characters (bits 5..1), alias
// data bit 0 (bit 0); b3..b8 alias data bits 1..48. Block k: b2..b8 alias
// data bits 49 + 56(k-1) onwards. 217 alias data bits in all.
//
// GPS info (FLCO 8): b2..b8 hold 4 reserved bits, the 3-bit position error,
// the longitude (25-bit two's complement, 360 / 2^25 degrees per step) and
// the latitude (24-bit two's complement, 180 / 2^24 degrees per step).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dmr_encode {

inline constexpr uint8_t flc_talker_alias_header = 4;
inline constexpr uint8_t flc_gps_info = 8;

// Formats of the header: 7-bit characters, ISO 8859-1, UTF-8, UTF-16BE.
inline constexpr int alias_format_7bit = 0;
inline constexpr int alias_format_iso8859 = 1;
inline constexpr int alias_format_utf8 = 2;
inline constexpr int alias_format_utf16 = 3;

using lc_bytes = std::array<uint8_t, 9>;

// The header and the blocks that the alias needs, for text given as UTF-8.
// The length counts 7-bit or ISO 8859-1 characters, UTF-8 code points or
// UTF-16 code units. False (lcs untouched) for text that is not UTF-8, has
// a character the format lacks, is empty, or does not fit 31 characters and
// 217 bits.
bool talker_alias_lcs(const std::string &text, int format, std::vector<lc_bytes> &lcs);

// The GPS info LC of a position in degrees (north and east positive) and a
// position error code (0..7). Each coordinate goes to the nearest code; a
// coordinate beyond the last code that is not the not-known code (longitude
// +-180, latitude -90 and +90) goes to the last one, 180 / 2^24 or
// 360 / 2^25 degrees inside the range.
lc_bytes gps_info_lc(double latitude, double longitude, int position_error);

}  // namespace dmr_encode
