// SPDX-License-Identifier: MIT
#include "trellis_3_4_encoder.h"

#include <cstring>

namespace dmr_encode {

namespace {

// ETSI TS 102 361-1: point sent for (state, input tribit); the state is the
// previous tribit.
constexpr uint8_t points[8][8] = {
    {0, 8, 4, 12, 2, 10, 6, 14}, {4, 12, 2, 10, 6, 14, 0, 8}, {1, 9, 5, 13, 3, 11, 7, 15}, {5, 13, 3, 11, 7, 15, 1, 9},
    {3, 11, 7, 15, 1, 9, 5, 13}, {7, 15, 1, 9, 5, 13, 3, 11}, {2, 10, 6, 14, 0, 8, 4, 12}, {6, 14, 0, 8, 4, 12, 2, 10},
};

// Constellation point to its two symbols, as levels: the dibit of +3 is 01,
// of +1 00, of -1 10, of -3 11.
constexpr int levels[16][2] = {
    {+1, -1}, {-1, -1}, {+3, -3}, {-3, -3}, {-3, -1}, {+3, -1}, {-1, -3}, {+1, -3},
    {-3, +3}, {+3, +3}, {-1, +1}, {+1, +1}, {+1, +3}, {-1, +3}, {+3, +1}, {-3, +1},
};

uint8_t dibit_of_level(int level) { return level == 3 ? 1 : level == 1 ? 0 : level == -1 ? 2 : 3; }

// Deinterleaved dibit k is sent as dibit (k / 2) * 2 placed by columns of
// eight: the standard's interleave matrix read out.
int interleaved_position(int k) {
    // Dibits are sent in four passes over the pairs: pairs 0, 4, 8, .. (13
    // pairs), then 1, 5, 9, .. (12), 2, 6, .. (12), 3, 7, .. (12).
    const int pair = k / 2, half = k % 2;
    int pass, index;
    if (pair < 13) {
        pass = 0;
        index = pair;
    } else {
        pass = 1 + (pair - 13) / 12;
        index = (pair - 13) % 12;
    }
    return 2 * (4 * index + pass) + half;
}

}  // namespace

void trellis_3_4_encode(const uint8_t data[18], uint8_t bits[25]) {
    uint8_t tribits[49];
    for (int k = 0; k < 48; ++k) {
        int t = 0;
        for (int b = 0; b < 3; ++b) {
            const int bit = 3 * k + b;
            t = (t << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1);
        }
        tribits[k] = static_cast<uint8_t>(t);
    }
    tribits[48] = 0;
    uint8_t dibits[98];
    int state = 0;
    for (int p = 0; p < 49; ++p) {
        const uint8_t point = points[state][tribits[p]];
        dibits[2 * p] = dibit_of_level(levels[point][0]);
        dibits[2 * p + 1] = dibit_of_level(levels[point][1]);
        state = tribits[p];
    }
    std::memset(bits, 0, 25);
    for (int k = 0; k < 98; ++k) {
        const int at = 2 * interleaved_position(k);
        for (int b = 0; b < 2; ++b)
            if ((dibits[k] >> (1 - b)) & 1) bits[(at + b) / 8] |= static_cast<uint8_t>(0x80 >> ((at + b) % 8));
    }
}

}  // namespace dmr_encode
