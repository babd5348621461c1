#pragma once
// Layout of one DMR timeslot in the symbol stream: 144 four-level symbol
// bytes (values 0..3, high bit of the dibit first), a 12-symbol CACH followed
// by a 132-symbol burst. Offsets below are symbol indices.
//
//   timeslot:  CACH 0..11 | burst 12..143
//   burst:     first payload half 0..53 | centre field 54..77 |
//              second payload half 78..131
//
// A decoder that holds the centre field's first symbol at ring position R
// finds the CACH at R - 66, the first payload half at R - 54 and the second at
// R + 24. Data bursts carry their 20-bit slot type in the five symbols on each
// side of the centre field (49..53 and 78..82) and their 196 information bits
// in 0..48 and 83..131; voice bursts carry 216 payload bits in both halves.

#include <cstdint>

namespace dmr_encode {

inline constexpr int cach_symbols = 12;
inline constexpr int burst_symbols = 132;
inline constexpr int timeslot_symbols = 144;
inline constexpr int payload_half_symbols = 54;
inline constexpr int centre_symbols = 24;

inline constexpr int burst_centre_offset = 54;       // centre field within a burst
inline constexpr int burst_second_half_offset = 78;  // second payload half within a burst
inline constexpr int timeslot_centre_offset = 66;    // centre field within a timeslot
inline constexpr int slot_type_half_symbols = 5;     // slot type symbols on each side
inline constexpr int info_half_symbols = 49;         // data information symbols on each side

// One burst without its CACH.
struct burst {
    uint8_t symbols[burst_symbols] = {};
};

}  // namespace dmr_encode
