// SPDX-License-Identifier: MIT
#pragma once
// Placement of the 72 interleaved bits of one received AMBE voice frame (as
// they stand in a DMR voice burst or a System Fusion V/D mode 1 voice field)
// in the 96-bit 12-byte codec frame.

#include <cstdint>

// Entry i is the codec frame bit (0..95) that received bit i goes to.
extern const uint8_t voice_frame_table[72];

// Places 72 received bits (one per byte, non-zero is 1) into a 12-byte codec
// frame, which is cleared first.
void place_voice_frame(const uint8_t received_bits[72], uint8_t frame[12]);

// The inverse: takes the 72 received bits, in air order, back out of a
// 12-byte codec frame (used by the encoders that build test signals).
void extract_voice_frame(const uint8_t frame[12], uint8_t received_bits[72]);
