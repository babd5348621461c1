// SPDX-License-Identifier: MIT
#pragma once
// The System Fusion frame as orbavox sees it in its symbol ring: 480 symbols
// from the frame start (the first sync symbol), one byte per four-level
// symbol carrying its dibit.
//
//   symbols   0..19   frame sync, the 40-bit word D471C9634D
//   symbols  20..119  FICH, 100 symbols, interleaved as 5 rows of 20
//   symbols 120..479  five blocks of 72 symbols; block b starts at 120 + 72b
//
// Symbol bytes outside 0..3 count with all their bits in the sync
// comparisons and with their low two bits everywhere else.

#include <cstdint>

#include "symbol_ring.h"

// The decoder's ring: 2048 symbol bytes.
using ysf_ring = symbol_ring<uint8_t, 2048>;

inline constexpr int32_t ysf_frame_symbols = 480;
inline constexpr int32_t ysf_sync_symbols = 20;
inline constexpr int32_t ysf_fich_offset = 20;
inline constexpr int32_t ysf_fich_symbols = 100;
inline constexpr int32_t ysf_block_offset = 120;
inline constexpr int32_t ysf_block_symbols = 72;
inline constexpr int32_t ysf_blocks = 5;

// The frame sync, D471C9634D, as 20 symbol bytes.
inline constexpr uint8_t ysf_sync_pattern[ysf_sync_symbols] = {3, 1, 1, 0, 1, 3, 0, 1, 3, 0,
                                                               2, 1, 1, 2, 0, 3, 1, 0, 3, 1};

// Packs count symbols of the ring, taken at the given offsets from the read
// position, four to a byte (first symbol in the top two bits, low two bits
// of each byte only). out must hold (count + 3) / 4 bytes; it is cleared
// first. offset_of(k) gives the ring offset of symbol k.
template <typename Offset>
void pack_ring_symbols(const ysf_ring &ring, int count, Offset &&offset_of, uint8_t *out) {
    for (int i = 0; i < (count + 3) / 4; ++i) out[i] = 0;
    for (int k = 0; k < count; ++k) {
        uint8_t s = static_cast<uint8_t>(ring_at(ring, offset_of(k)) & 3u);
        out[k >> 2] |= static_cast<uint8_t>(s << (6 - 2 * (k & 3)));
    }
}
