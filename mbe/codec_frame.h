// SPDX-License-Identifier: MIT
#pragma once
// The codec frame stream between the decoders and voxloom.
//
// Plain form (tessavox): 12-byte AMBE frames back to back.
// Tagged form (orbavox): records back to back, each a mode byte followed by
// one frame of the size that the mode byte names.
//
// Bit n of a frame lies in byte n / 8 at bit position 7 - (n % 8). Bits a
// kind does not use are written as 0 and never read.

#include <cstdint>

// Mode bytes: the System Fusion data type codes of the frames that carried
// the voice.
inline constexpr uint8_t codec_mode_ambe = 0;            // voice/data mode 1: 12-byte AMBE frame
inline constexpr uint8_t codec_mode_ambe_parameters = 2;  // voice/data mode 2: 7-byte parameter frame
inline constexpr uint8_t codec_mode_imbe = 3;            // voice full-rate: 18-byte IMBE frame

// 12-byte AMBE 3600x2450 frame: 4 rows of 24 bits (row r, column c is bit
// 24r + c); the 72 coded bits fill row 0 columns 0..23, row 1 columns 0..22,
// row 2 columns 0..10 and row 3 columns 0..13.
inline constexpr int ambe_frame_bytes = 12;
inline constexpr int ambe_frame_rows = 4;
inline constexpr int ambe_frame_columns = 24;
inline constexpr int ambe_coded_bits = 72;

// 7-byte AMBE 2450 parameter frame: bits 0..48 are the 49 parameter bits.
inline constexpr int ambe_parameter_frame_bytes = 7;
inline constexpr int ambe_parameter_bits = 49;

// 18-byte IMBE frame: 144 bits, code words c0..c7 with their data bits first
// (see imbe_parameter_frame_bit).
inline constexpr int imbe_frame_bytes = 18;
inline constexpr int imbe_frame_bits = 144;
inline constexpr int imbe_parameter_bits = 88;

// 36 bytes: the three AMBE frames of one DMR voice burst, one write.
inline constexpr int dmr_voice_unit_bytes = 3 * ambe_frame_bytes;

// The frame size of a tagged record's mode byte, or 0 for a mode byte no
// writer uses (1 and 4..255).
constexpr int codec_frame_size(uint8_t mode) {
    switch (mode) {
        case codec_mode_ambe: return ambe_frame_bytes;
        case codec_mode_ambe_parameters: return ambe_parameter_frame_bytes;
        case codec_mode_imbe: return imbe_frame_bytes;
        default: return 0;
    }
}

// The frame bit that carries IMBE parameter bit k (0..87): the data bits of
// the Golay (23,12) words c0..c3 (12 each), the Hamming (15,11) words c4..c6
// (11 each) and the 7 bits of c7, in frame order.
constexpr int imbe_parameter_frame_bit(int k) {
    if (k < 48) return (k / 12) * 23 + k % 12;
    if (k < 81) return 92 + ((k - 48) / 11) * 15 + (k - 48) % 11;
    return 137 + (k - 81);
}
