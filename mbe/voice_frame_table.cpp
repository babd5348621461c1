// SPDX-License-Identifier: MIT
#include "voice_frame_table.h"

#include "bits.h"

// In rows and columns of the 4 x 24 frame: the first bit of each group of
// four runs down row 0 from column 23 to 6; the second down row 0 from 5 to 0
// and row 1 from 22 to 11; the third down row 1 from 10 to 0 and row 2 from
// 10 to 4; the fourth down row 2 from 3 to 0 and row 3 from 13 to 0.
const uint8_t voice_frame_table[72] = {
    23, 5,  34, 51, 22, 4,  33, 50, 21, 3,  32, 49, 20, 2,  31, 48, 19, 1,  30, 85, 18, 0,  29, 84,
    17, 46, 28, 83, 16, 45, 27, 82, 15, 44, 26, 81, 14, 43, 25, 80, 13, 42, 24, 79, 12, 41, 58, 78,
    11, 40, 57, 77, 10, 39, 56, 76, 9,  38, 55, 75, 8,  37, 54, 74, 7,  36, 53, 73, 6,  35, 52, 72,
};

void place_voice_frame(const uint8_t received_bits[72], uint8_t frame[12]) {
    for (int i = 0; i < 12; ++i) frame[i] = 0;
    for (int i = 0; i < 72; ++i)
        if (received_bits[i]) put_bit(frame, voice_frame_table[i], 1);
}

void extract_voice_frame(const uint8_t frame[12], uint8_t received_bits[72]) {
    for (int i = 0; i < 72; ++i) received_bits[i] = static_cast<uint8_t>(bit_at(frame, voice_frame_table[i]));
}
