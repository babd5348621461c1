// SPDX-License-Identifier: MIT
#include "viterbi_k5.h"

#include <array>
#include <cstddef>

#include "bits.h"
#include "symbol_distance.h"

namespace {

constexpr int state_count = 16;

// Expected dibits indexed by 2p + b.
constexpr std::array<uint8_t, 2 * state_count> make_expected_table() {
    std::array<uint8_t, 2 * state_count> t{};
    for (int p = 0; p < state_count; ++p)
        for (int b = 0; b < 2; ++b) t[static_cast<std::size_t>(2 * p + b)] = viterbi_k5_expected_dibit(p, b);
    return t;
}

constexpr std::array<uint8_t, 2 *state_count> expected = make_expected_table();

// Path metrics: at most 2 per dibit, 510 for 255 dibits, so 16 bits never
// wrap around.
using path_metric = uint16_t;
static_assert(2 * viterbi_k5_max_dibits <= UINT16_MAX);

}  // namespace

int viterbi_k5_decode(const uint8_t *symbols, int n, uint8_t *output) {
    if (n < 1 || n > viterbi_k5_max_dibits) return 0;

    // The survivor of each state is kept as one decision bit per step (which
    // predecessor it came from); tracing the decisions back from the final
    // state yields exactly the full path that state holds.
    uint16_t decisions[viterbi_k5_max_dibits];
    path_metric metric[state_count] = {};
    path_metric next[state_count];

    for (int i = 0; i < n; ++i) {
        uint8_t received = static_cast<uint8_t>((symbols[i >> 2] >> (6 - 2 * (i & 3))) & 3);
        uint16_t chosen = 0;
        for (int s = 0; s < state_count; ++s) {
            int b = s >> 3;
            int p = (s << 1) & 15;
            path_metric low = static_cast<path_metric>(
                metric[p] + bit_count_table[expected[static_cast<std::size_t>(2 * p + b)] ^ received]);
            path_metric high = static_cast<path_metric>(
                metric[p + 1] + bit_count_table[expected[static_cast<std::size_t>(2 * (p + 1) + b)] ^ received]);
            if (high < low) {
                next[s] = high;
                chosen = static_cast<uint16_t>(chosen | (1u << s));
            } else {
                next[s] = low;
            }
        }
        decisions[i] = chosen;
        for (int s = 0; s < state_count; ++s) metric[s] = next[s];
    }

    // The four zero tail bits bring the encoder back to state 0.
    const int end_state = 0;
    for (int i = 0; i < (n + 7) / 8; ++i) output[i] = 0;
    int state = end_state;
    for (int i = n - 1; i >= 0; --i) {
        put_bit(output, i, state >> 3);
        state = ((state << 1) & 15) + ((decisions[i] >> state) & 1);
    }
    return metric[end_state];
}
