// SPDX-License-Identifier: MIT
#pragma once
// Systematic encoding from parity-check rows, shared by the block-code
// encoders of this folder.
//
// A code of n bits with k check bits is given by its k parity-check rows: row
// j (j = 0 for the first) holds the single check bit 2^(k-1-j) and, above the
// check bits, the data bits over which that check bit is the even parity. The
// codeword puts the data bits in the high n-k bits and the check bits in the
// low k bits.

#include <bit>
#include <cstdint>

namespace dmr_encode {

// Codeword of the data (the low n-k bits of data are used) for the code with
// the given rows (count k). Bits above n are never set.
constexpr uint32_t encode_by_rows(uint32_t data, const uint32_t *rows, int count) {
    uint32_t word = data << count;
    uint32_t check = 0;
    for (int j = 0; j < count; ++j) {
        uint32_t data_part = rows[j] & ~((1u << count) - 1u);
        check = (check << 1) | (static_cast<uint32_t>(std::popcount(word & data_part)) & 1u);
    }
    return word | check;
}

// Syndrome of a received word over the rows, the first row giving the most
// significant bit; 0 for every codeword.
constexpr uint32_t syndrome_by_rows(uint32_t word, const uint32_t *rows, int count) {
    uint32_t s = 0;
    for (int j = 0; j < count; ++j) s = (s << 1) | (static_cast<uint32_t>(std::popcount(word & rows[j])) & 1u);
    return s;
}

}  // namespace dmr_encode
