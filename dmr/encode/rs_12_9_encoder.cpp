// SPDX-License-Identifier: MIT
#include "rs_12_9_encoder.h"

namespace dmr_encode {

namespace {

// GF(256) multiplication with the field polynomial x^8 + x^4 + x^3 + x^2 + 1.
constexpr uint8_t gf_multiply(uint8_t a, uint8_t b) {
    unsigned product = 0;
    unsigned x = a;
    for (int i = 0; i < 8; ++i) {
        if ((b >> i) & 1) product ^= x;
        x <<= 1;
        if (x & 0x100) x ^= 0x11D;
    }
    return static_cast<uint8_t>(product);
}

constexpr uint8_t gf_power(int power) {
    uint8_t v = 1;
    for (int i = 0; i < power; ++i) v = gf_multiply(v, 2);
    return v;
}

// Coefficients of x^2, x^1, x^0 of the monic generator (x + a)(x + a^2)(x + a^3).
struct generator {
    uint8_t g[3];
};

constexpr generator make_generator() {
    // Multiply out one root at a time; poly[i] is the coefficient of x^i.
    uint8_t poly[4] = {1, 0, 0, 0};
    for (int root = 1; root <= 3; ++root) {
        uint8_t a = gf_power(root);
        uint8_t next[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            if (i > 0) next[i] ^= poly[i - 1];
            next[i] ^= gf_multiply(poly[i], a);
        }
        for (int i = 0; i < 4; ++i) poly[i] = next[i];
    }
    return generator{{poly[2], poly[1], poly[0]}};
}

constexpr generator rs_generator = make_generator();

}  // namespace

void rs_12_9_parity(const uint8_t data[9], uint8_t parity[3]) {
    // Remainder of data(x) * x^3 divided by the generator, by long division.
    uint8_t r[3] = {0, 0, 0};
    for (int i = 0; i < 9; ++i) {
        uint8_t feedback = data[i] ^ r[0];
        r[0] = r[1] ^ gf_multiply(feedback, rs_generator.g[0]);
        r[1] = r[2] ^ gf_multiply(feedback, rs_generator.g[1]);
        r[2] = gf_multiply(feedback, rs_generator.g[2]);
    }
    for (int i = 0; i < 3; ++i) parity[i] = r[i];
}

uint8_t rs_12_9_evaluate(const uint8_t word[12], int power) {
    uint8_t x = gf_power(power);
    uint8_t value = 0;
    for (int i = 0; i < 12; ++i) value = gf_multiply(value, x) ^ word[i];
    return value;
}

}  // namespace dmr_encode
