// SPDX-License-Identifier: MIT
#pragma once
// Unpacking the frames of the codec frame stream into mbelib's bit arrays:
// one char per bit, value 0 or 1. Frame bit n lies in byte n / 8 at bit
// position 7 - (n % 8).

#include <cstdint>

#include "codec_frame.h"

// 12-byte AMBE frame: element (r, c) of the 4 x 24 array is frame bit
// 24r + c, for all 96 bits (the positions without a coded bit are 0 in a
// well-formed frame and are copied as they are).
void unpack_ambe_frame(const uint8_t frame[ambe_frame_bytes], char ambe_fr[ambe_frame_rows][ambe_frame_columns]);

// 7-byte AMBE parameter frame: element k (0..48) is frame bit k.
void unpack_ambe_parameters(const uint8_t frame[ambe_parameter_frame_bytes], char ambe_d[ambe_parameter_bits]);

// 18-byte IMBE frame: element k (0..87) is the data bit of the code words
// c0..c7 that carries parameter bit k; the check bits are not looked at.
void unpack_imbe_parameters(const uint8_t frame[imbe_frame_bytes], char imbe_d[imbe_parameter_bits]);
