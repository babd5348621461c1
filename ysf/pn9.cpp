// SPDX-License-Identifier: MIT
#include "pn9.h"

void pn9_descramble(const uint8_t *input, uint8_t *output, int n) {
    uint16_t s = pn9_start_state;
    for (int j = 0; j < (n + 7) / 8; ++j) {
        // Each byte is read whole before it is written, so input and output
        // may be the same buffer; bits past n come out 0.
        int bits = n - 8 * j < 8 ? n - 8 * j : 8;
        uint8_t in = input[j];
        uint8_t out = 0;
        for (int k = 0; k < bits; ++k) {
            int white = s & 1;
            s = static_cast<uint16_t>((s >> 1) | (((s ^ (s >> 4)) & 1u) << 8));
            int bit = ((in >> (7 - k)) & 1) ^ white;
            out = static_cast<uint8_t>(out | (bit << (7 - k)));
        }
        output[j] = out;
    }
}
