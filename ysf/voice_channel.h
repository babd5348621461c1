// SPDX-License-Identifier: MIT
#pragma once
// The voice channels (VCH) of System Fusion communication frames, written
// as tagged codec frame records: the mode byte in one single-character
// write, the frame in one write, then a flush.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "ysf_frame.h"

// Voice full-rate deinterleave: IMBE frame bit i is received bit V[i] of
// the block, V[24c + 2j + e] = 12j + c for e = 0 and 12j + 6 + (c ^ 1) for
// e = 1 (c 0..5, j 0..11).
constexpr std::array<uint8_t, 144> make_full_rate_deinterleave() {
    std::array<uint8_t, 144> v{};
    for (int c = 0; c < 6; ++c)
        for (int j = 0; j < 12; ++j) {
            v[static_cast<std::size_t>(24 * c + 2 * j)] = static_cast<uint8_t>(12 * j + c);
            v[static_cast<std::size_t>(24 * c + 2 * j + 1)] = static_cast<uint8_t>(12 * j + 6 + (c ^ 1));
        }
    return v;
}
inline constexpr std::array<uint8_t, 144> full_rate_deinterleave = make_full_rate_deinterleave();

// Voice of block k (0..4) of the frame at the ring's read position:
// V/D mode 1, the 72 bits of the block's second half placed into a 12-byte
// AMBE frame.
void extract_vd_mode1_frame(const ysf_ring &ring, int k, uint8_t frame[12]);

// V/D mode 2: 104 bits after the block's data channel, deinterleaved,
// dewhitened and the first 27 parameter bits voted from three copies, into
// a 7-byte AMBE parameter frame.
void extract_vd_mode2_frame(const ysf_ring &ring, int k, uint8_t frame[7]);

// Voice full-rate: the block's 144 bits deinterleaved and the IMBE
// pseudo-noise removed from code words c1..c6, into an 18-byte IMBE frame.
void extract_full_rate_frame(const ysf_ring &ring, int k, uint8_t frame[18]);

// The three voice handlers, each writing its frames to out in block order.
void voice_vd_mode1(const ysf_ring &ring, FILE *out);
void voice_vd_mode2(const ysf_ring &ring, FILE *out);

// After a header (header_flag set) only blocks 3 and 4 carry voice; clears
// header_flag.
void voice_full_rate(const ysf_ring &ring, bool &header_flag, FILE *out);
