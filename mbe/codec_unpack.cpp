// SPDX-License-Identifier: MIT
#include "codec_unpack.h"

#include "bits.h"

void unpack_ambe_frame(const uint8_t frame[ambe_frame_bytes], char ambe_fr[ambe_frame_rows][ambe_frame_columns]) {
    for (int r = 0; r < ambe_frame_rows; ++r)
        for (int c = 0; c < ambe_frame_columns; ++c)
            ambe_fr[r][c] = static_cast<char>(bit_at(frame, r * ambe_frame_columns + c));
}

void unpack_ambe_parameters(const uint8_t frame[ambe_parameter_frame_bytes], char ambe_d[ambe_parameter_bits]) {
    for (int k = 0; k < ambe_parameter_bits; ++k) ambe_d[k] = static_cast<char>(bit_at(frame, k));
}

void unpack_imbe_parameters(const uint8_t frame[imbe_frame_bytes], char imbe_d[imbe_parameter_bits]) {
    for (int k = 0; k < imbe_parameter_bits; ++k)
        imbe_d[k] = static_cast<char>(bit_at(frame, imbe_parameter_frame_bit(k)));
}
