// SPDX-License-Identifier: MIT
#pragma once
// The voice payload of a DMR voice burst: three AMBE frames of 72 bits, 216
// bits in all, in the 54 symbols before and the 54 after the centre field
// (payload bit 2j is the high bit of the j-th of these 108 symbols). Frame k
// is payload bits 72k..72k+71; the middle frame is split by the centre field.
//
// Codec frames are the 12-byte AMBE frames of the codec frame stream; only
// their 72 coded bits are sent, the other 24 bits are dropped.

#include <cstdint>

namespace dmr_encode {

// The 27 payload bytes (216 bits, most significant first) of three 12-byte
// codec frames (frames[0..11] first), each in air order through the voice
// frame table. Inverse of the decoder's voice deinterleave for every frame
// whose 24 unused bits are 0.
void interleave_voice(const uint8_t frames[36], uint8_t payload[27]);

// Writes 27 payload bytes into symbols 0..53 and 78..131 of a burst.
void place_voice_payload(const uint8_t payload[27], uint8_t symbols[132]);

}  // namespace dmr_encode
