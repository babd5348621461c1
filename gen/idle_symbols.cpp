// SPDX-License-Identifier: MIT
#include "idle_symbols.h"

#include "noise_source.h"

std::vector<uint8_t> idle_symbols(int count, uint64_t stream) {
    noise_source random;
    seed_noise(random, 0x1D1E000000000000ull + stream);
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(next_random(random) >> 62));
    return out;
}
