// SPDX-License-Identifier: MIT
#pragma once
// The data channels (DCH) of System Fusion frames, convolutionally coded
// (rate 1/2, K = 5), protected by a CRC-16 over the whitened data and
// whitened with the PN9 sequence.
//
// Header frame: two channels of 180 symbols, channel 1 in symbols 0..35 and
// channel 2 in symbols 36..71 of every block, interleaved as 9 rows of 20;
// each carries 20 data bytes, the CRC and 4 tail bits.
// V/D mode 1 frame: one channel laid out, coded and interleaved like header
// channel 1 (symbols 0..35 of every block), 20 data bytes.
// V/D mode 2 frame: one channel of 100 symbols, the first 20 of every
// block, interleaved as 5 rows of 20; it carries 10 data bytes, the CRC and
// 4 tail bits.

#include <cstdint>

#include "ysf_frame.h"

inline constexpr int header_channel_bytes = 20;
inline constexpr int mode1_channel_bytes = 20;
inline constexpr int mode2_channel_bytes = 10;

// Decodes header data channel c (0 for channel 1, 1 for channel 2) of the
// frame at the ring's read position into 20 data bytes. False (data
// untouched) when the CRC fails.
bool decode_header_channel(const ysf_ring &ring, int channel, uint8_t data[header_channel_bytes]);

// Decodes the data channel of the V/D mode 1 frame at the ring's read
// position into 20 data bytes. False (data untouched) when the CRC fails.
bool decode_mode1_channel(const ysf_ring &ring, uint8_t data[mode1_channel_bytes]);

// Decodes the data channel of the V/D mode 2 frame at the ring's read
// position into 10 data bytes. False (data untouched) when the CRC fails.
bool decode_mode2_channel(const ysf_ring &ring, uint8_t data[mode2_channel_bytes]);
