// SPDX-License-Identifier: MIT
#include "rs_12_9.h"

#include <array>

namespace {

constexpr unsigned field_polynomial = 0x11D;  // x^8 + x^4 + x^3 + x^2 + 1

// Powers of a and their logarithms, derived from the field polynomial.
struct gf_tables {
    std::array<uint8_t, 255> power{};
    std::array<uint8_t, 256> log{};
};

constexpr gf_tables make_tables() {
    gf_tables t;
    unsigned x = 1;
    for (int i = 0; i < 255; ++i) {
        t.power[static_cast<std::size_t>(i)] = static_cast<uint8_t>(x);
        t.log[x] = static_cast<uint8_t>(i);
        x <<= 1;
        if (x & 0x100) x ^= field_polynomial;
    }
    return t;
}

constexpr gf_tables gf = make_tables();

constexpr uint8_t gf_multiply(uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return gf.power[(gf.log[a] + gf.log[b]) % 255];
}

// a is primitive: its 255 powers are the 255 non-zero elements.
constexpr bool all_elements_reached() {
    std::array<bool, 256> seen{};
    for (uint8_t v : gf.power) seen[v] = true;
    for (int v = 1; v < 256; ++v)
        if (!seen[static_cast<std::size_t>(v)]) return false;
    return true;
}
static_assert(all_elements_reached());

}  // namespace

uint8_t rs_12_9_syndrome(const uint8_t word[12], int power) {
    uint8_t x = gf.power[static_cast<std::size_t>(power % 255)];
    uint8_t value = 0;
    for (int i = 0; i < 12; ++i) value = static_cast<uint8_t>(gf_multiply(value, x) ^ word[i]);
    return value;
}

bool rs_12_9_check(const uint8_t received[12], uint8_t mask) {
    uint8_t word[12];
    for (int i = 0; i < 12; ++i) word[i] = static_cast<uint8_t>(received[i] ^ (i >= 9 ? mask : 0));
    for (int power = 1; power <= 3; ++power)
        if (rs_12_9_syndrome(word, power) != 0) return false;
    return true;
}
