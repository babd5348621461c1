// SPDX-License-Identifier: MIT
#include "golay_24_12_encode.h"

#include <bit>

namespace ysf_encode {
namespace {

// x^11 + x^10 + x^6 + x^5 + x^4 + x^2 + 1, the (23,12) Golay generator.
constexpr uint32_t generator = 0xC75;

// The 11 check bits of the cyclic code: the remainder of data * x^11 modulo
// the generator.
constexpr uint32_t cyclic_checks(uint32_t data) {
    uint32_t r = data << 11;
    for (int i = 22; i >= 11; --i)
        if ((r >> i) & 1u) r ^= generator << (i - 11);
    return r;
}

}  // namespace

uint32_t golay_24_12_encode(uint32_t data) {
    data &= 0xFFFu;
    uint32_t word23 = (data << 11) | cyclic_checks(data);
    uint32_t parity = std::popcount(word23) & 1u;
    return (word23 << 1) | parity;
}

}  // namespace ysf_encode
