// SPDX-License-Identifier: MIT
// Writes seeded random bits, one byte (0 or 1) per bit, to standard output:
// channel noise for counting the pages a decoder finds where none was sent.
//
// Usage: random_bits MIB [SEED]   (MIB mebibytes of bit bytes; SEED default 1)

#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: random_bits MIB [SEED]\n");
        return 2;
    }
    const unsigned long long mib = std::strtoull(argv[1], nullptr, 10);
    // xorshift64* seeded through a golden-ratio step, so that seed 0 works too.
    uint64_t state = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1) * 0x9E3779B97F4A7C15ull + 1;
    static uint8_t block[1 << 16];
    for (unsigned long long n = 0; n < mib * 16; ++n) {
        for (std::size_t i = 0; i < sizeof block; i += 64) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            const uint64_t bits = state * 2685821657736338717ull;
            for (int k = 0; k < 64; ++k) block[i + k] = static_cast<uint8_t>((bits >> k) & 1u);
        }
        if (std::fwrite(block, 1, sizeof block, stdout) != sizeof block) return 1;
    }
    return 0;
}
