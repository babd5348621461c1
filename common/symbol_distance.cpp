// SPDX-License-Identifier: MIT
#include "symbol_distance.h"

int32_t symbol_distance(const uint8_t *a, const uint8_t *b, int32_t n) {
    int32_t d = 0;
    for (int32_t i = 0; i < n; ++i) d += bit_count_table[a[i] ^ b[i]];
    return d;
}
