// SPDX-License-Identifier: MIT
#include "conv_k5_encode.h"

#include <bit>

#include "bits.h"

namespace ysf_encode {
namespace {

// Generators as masks over the register (b << 4) | state: bit 4 is the
// input bit, bit 3 the previous one (D), down to bit 0 (D^4).
constexpr unsigned generator_1 = 0x13;  // 1 + D^3 + D^4
constexpr unsigned generator_2 = 0x1D;  // 1 + D + D^2 + D^4

}  // namespace

uint8_t conv_k5_output(int state, int bit) {
    unsigned reg = (static_cast<unsigned>(bit & 1) << 4) | (static_cast<unsigned>(state) & 15u);
    unsigned high = std::popcount(reg & generator_1) & 1u;
    unsigned low = std::popcount(reg & generator_2) & 1u;
    return static_cast<uint8_t>((high << 1) | low);
}

void conv_k5_encode(const uint8_t *bits, int n, uint8_t *dibits) {
    int state = 0;
    for (int i = 0; i < n + conv_k5_tail_bits; ++i) {
        int b = i < n ? bit_at(bits, i) : 0;
        dibits[i] = conv_k5_output(state, b);
        state = (state >> 1) | (b << 3);
    }
}

}  // namespace ysf_encode
