// SPDX-License-Identifier: MIT
#include "pn9_whiten.h"

#include "bits.h"

namespace ysf_encode {
namespace {

constexpr unsigned pn9_start = 0x1C9;

// One step of the x^9 + x^5 + 1 register: returns the output bit (bit 0)
// and shifts the feedback bit0 ^ bit4 into bit 8.
inline int pn9_step(unsigned &s) {
    unsigned out = s & 1u;
    s = (s >> 1) | ((out ^ ((s >> 4) & 1u)) << 8);
    return static_cast<int>(out);
}

}  // namespace

int pn9_bit(int i) {
    unsigned s = pn9_start;
    int out = 0;
    for (int k = 0; k <= i; ++k) out = pn9_step(s);
    return out;
}

void pn9_whiten(const uint8_t *in, uint8_t *out, int n) {
    unsigned s = pn9_start;
    for (int i = 0; i < n; ++i) {
        int b = bit_at(in, i) ^ pn9_step(s);
        // in and out may alias: bit i of in is read before bit i of out is set,
        // and the bits beyond n are cleared once the last input bit is read.
        put_bit(out, i, b);
    }
    if (n > 0 && (n & 7)) out[(n - 1) >> 3] &= static_cast<uint8_t>(0xFF00u >> (n & 7));
}

}  // namespace ysf_encode
