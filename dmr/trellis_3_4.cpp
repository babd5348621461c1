// SPDX-License-Identifier: MIT
#include "trellis_3_4.h"

#include <bit>
#include <cstring>

// ETSI TS 102 361-1, the trellis encoder's state transition table: row the
// state, column the input tribit; the next state is the input tribit.
const uint8_t trellis_points[8][8] = {
    {0, 8, 4, 12, 2, 10, 6, 14}, {4, 12, 2, 10, 6, 14, 0, 8}, {1, 9, 5, 13, 3, 11, 7, 15}, {5, 13, 3, 11, 7, 15, 1, 9},
    {3, 11, 7, 15, 1, 9, 5, 13}, {7, 15, 1, 9, 5, 13, 3, 11}, {2, 10, 6, 14, 0, 8, 4, 12}, {6, 14, 0, 8, 4, 12, 2, 10},
};

// Constellation to dibit pairs. A dibit is the two bits of a symbol:
// 01 is +3, 00 is +1, 10 is -1, 11 is -3.
const uint8_t trellis_point_dibits[16][2] = {
    {0, 2}, {2, 2}, {1, 3}, {3, 3}, {3, 2}, {1, 2}, {2, 3}, {0, 3},
    {3, 1}, {1, 1}, {2, 0}, {0, 0}, {0, 1}, {2, 1}, {1, 0}, {3, 0},
};

const uint8_t trellis_interleave[98] = {
    0,  1,  8,  9,  16, 17, 24, 25, 32, 33, 40, 41, 48, 49, 56, 57, 64, 65, 72, 73, 80, 81, 88, 89, 96,
    97, 2,  3,  10, 11, 18, 19, 26, 27, 34, 35, 42, 43, 50, 51, 58, 59, 66, 67, 74, 75, 82, 83, 90, 91,
    4,  5,  12, 13, 20, 21, 28, 29, 36, 37, 44, 45, 52, 53, 60, 61, 68, 69, 76, 77, 84, 85, 92, 93, 6,
    7,  14, 15, 22, 23, 30, 31, 38, 39, 46, 47, 54, 55, 62, 63, 70, 71, 78, 79, 86, 87, 94, 95,
};

int decode_trellis_3_4(const uint8_t in[25], uint8_t out[18], int max_errors) {
    // The 49 received points as 4-bit values (high dibit first).
    uint8_t received[49];
    for (int p = 0; p < 49; ++p) {
        uint8_t point = 0;
        for (int d = 0; d < 2; ++d) {
            const int dibit = trellis_interleave[2 * p + d];
            const int bit = 2 * dibit;
            const int value =
                ((in[bit / 8] >> (7 - bit % 8)) & 1) << 1 | ((in[(bit + 1) / 8] >> (7 - (bit + 1) % 8)) & 1);
            point = static_cast<uint8_t>((point << 2) | value);
        }
        received[p] = point;
    }
    uint8_t point_bits[16];
    for (int c = 0; c < 16; ++c)
        point_bits[c] = static_cast<uint8_t>(trellis_point_dibits[c][0] << 2 | trellis_point_dibits[c][1]);

    // Viterbi: the state after step p is the tribit of step p.
    constexpr int unreachable = 1 << 20;
    int metric[8];
    uint8_t from[49][8];
    for (int s = 0; s < 8; ++s) metric[s] = s == 0 ? 0 : unreachable;
    for (int p = 0; p < 49; ++p) {
        int next[8];
        for (int t = 0; t < 8; ++t) {
            next[t] = unreachable;
            from[p][t] = 0;
            for (int s = 0; s < 8; ++s) {
                if (metric[s] >= unreachable) continue;
                const int m =
                    metric[s] + std::popcount(static_cast<unsigned>(point_bits[trellis_points[s][t]] ^ received[p]));
                if (m < next[t]) {
                    next[t] = m;
                    from[p][t] = static_cast<uint8_t>(s);
                }
            }
        }
        std::memcpy(metric, next, sizeof metric);
    }
    // The closing tribit is 0: the path ends in state 0.
    if (metric[0] > max_errors) return -1;
    uint8_t tribits[49];
    int state = 0;
    for (int p = 48; p >= 0; --p) {
        tribits[p] = static_cast<uint8_t>(state);
        state = from[p][state];
    }
    std::memset(out, 0, 18);
    for (int k = 0; k < 48; ++k)
        for (int b = 0; b < 3; ++b) {
            const int bit = 3 * k + b;
            if ((tribits[k] >> (2 - b)) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
    return metric[0];
}
