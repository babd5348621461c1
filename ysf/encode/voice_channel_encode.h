// SPDX-License-Identifier: MIT
#pragma once
// Encoders of the System Fusion voice channels (VCH), one per voice mode.
// Each takes one codec frame as a decoder writes it (the tagged codec frame
// stream: 12-byte AMBE frame, 7-byte AMBE parameter frame, 18-byte IMBE
// frame) and writes the symbol bytes (0..3) that carry it in one block, in
// transmission order. Frame bit n is byte n / 8, bit 7 - n % 8.

#include <cstdint>

namespace ysf_encode {

// Voice/data mode 1: the 72 coded bits of a 12-byte AMBE frame, taken out by
// the voice frame table, as 36 symbols (block symbols 36-71). Frame bits that
// carry no coded bit are ignored.
inline constexpr int vd1_voice_symbols = 36;
void encode_vd1_voice(const uint8_t frame[12], uint8_t symbols[vd1_voice_symbols]);

// Voice/data mode 2: the 49 parameter bits of a 7-byte AMBE parameter frame
// (bits 49-55 ignored). Bits 0-26 are sent three times each (descrambled bits
// 3j, 3j+1, 3j+2), bits 27-48 once (descrambled bits 81-102), bit 103 is 0;
// the 104 bits are whitened with PN9 and interleaved (bit l goes to place
// 4 * (l % 26) + l / 26) into 52 symbols (block symbols 20-71).
inline constexpr int vd2_voice_symbols = 52;
void encode_vd2_voice(const uint8_t frame[7], uint8_t symbols[vd2_voice_symbols]);

// Voice full-rate: a 144-bit IMBE frame. The pseudo-noise seeded by frame
// bits 0-11 is put on bits 23-136 and the frame interleaved (frame bit i goes
// to place V[i], V[24c + 2j + e] = 12j + c for e = 0 and 12j + 6 + (c ^ 1)
// for e = 1) into 72 symbols (the whole block).
inline constexpr int vfr_voice_symbols = 72;
void encode_vfr_voice(const uint8_t frame[18], uint8_t symbols[vfr_voice_symbols]);

// Puts (or removes: it is its own inverse) the IMBE pseudo-noise on frame
// bits 23-136 in place: p starts as frame bits 0-11 (bit 0 most significant)
// times 16; for n from 1 to 114, p = (173 p + 13849) mod 65536 and frame bit
// 22 + n is XORed with bit 15 of p.
void imbe_pseudo_noise(uint8_t frame[18]);

}  // namespace ysf_encode
