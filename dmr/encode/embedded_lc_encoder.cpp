// SPDX-License-Identifier: MIT
#include "embedded_lc_encoder.h"

#include "bits.h"
#include "hamming_16_11_encoder.h"

namespace dmr_encode {

uint8_t embedded_lc_checksum(const uint8_t lc[9]) {
    unsigned sum = 0;
    for (int i = 0; i < 9; ++i) sum += lc[i];
    return static_cast<uint8_t>(sum % 31);
}

void embedded_lc_encode(const uint8_t lc[9], uint8_t block[16]) {
    uint8_t checksum = embedded_lc_checksum(lc);
    uint16_t rows[8] = {};
    int n = 0;
    for (int r = 0; r < 7; ++r) {
        // Rows 0 and 1 carry 11 LC bits; rows 2..6 carry 10 and a checksum bit.
        uint16_t data = 0;
        int lc_bits = r < 2 ? 11 : 10;
        for (int i = 0; i < lc_bits; ++i) data = static_cast<uint16_t>((data << 1) | bit_at(lc, n++));
        if (r >= 2) data = static_cast<uint16_t>((data << 1) | ((checksum >> (6 - r)) & 1));
        rows[r] = hamming_16_11_encode(data);
        rows[7] ^= rows[r];
    }
    for (int i = 0; i < embedded_lc_block_bytes; ++i) block[i] = 0;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c)
            if ((rows[r] >> (15 - c)) & 1) put_bit(block, embedded_lc_bit_of(r, c), 1);
}

uint16_t embedded_lc_row(const uint8_t block[16], int row) {
    uint16_t word = 0;
    for (int c = 0; c < 16; ++c)
        word = static_cast<uint16_t>((word << 1) | bit_at(block, embedded_lc_bit_of(row & 7, c)));
    return word;
}

uint32_t embedded_lc_fragment(const uint8_t block[16], int k) {
    uint32_t fragment = 0;
    for (int i = 0; i < 4; ++i) fragment = (fragment << 8) | block[4 * (k & 3) + i];
    return fragment;
}

}  // namespace dmr_encode
