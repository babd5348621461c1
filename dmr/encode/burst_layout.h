// SPDX-License-Identifier: MIT
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

// Bit positions within a burst, for placing errors: burst bit 2k is the high
// bit and 2k + 1 the low bit of burst symbol k (0..263).

// EMB bit b (15..0) of an embedded voice burst.
constexpr int emb_burst_bit(int b) { return 2 * burst_centre_offset + (b >= 8 ? 15 - b : 40 + 7 - b); }

// Fragment bit b (31..0) of an embedded voice burst.
constexpr int fragment_burst_bit(int b) { return 2 * burst_centre_offset + 8 + 31 - b; }

// Slot type bit b (19..0) of a data burst.
constexpr int slot_type_burst_bit(int b) {
    return b >= 10 ? 2 * (burst_centre_offset - slot_type_half_symbols) + 19 - b : 2 * burst_second_half_offset + 9 - b;
}

// Information bit i (0..195, as from bptc_196_96_encode) of a data burst.
constexpr int info_burst_bit(int i) {
    return i < 2 * info_half_symbols ? i : i - 2 * info_half_symbols + 2 * (burst_symbols - info_half_symbols);
}

// Voice payload bit j (0..215) of a voice burst.
constexpr int voice_burst_bit(int j) {
    return j < 2 * payload_half_symbols ? j : j - 2 * payload_half_symbols + 2 * burst_second_half_offset;
}

// Flips bit n of a run of symbols (bit 2k is the high bit of symbol k).
inline void flip_symbol_bit(uint8_t *symbols, int n) { symbols[n / 2] ^= static_cast<uint8_t>(n % 2 ? 1 : 2); }

// One burst without its CACH.
struct burst {
    uint8_t symbols[burst_symbols] = {};
};

}  // namespace dmr_encode
