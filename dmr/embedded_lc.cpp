// SPDX-License-Identifier: MIT
#include "embedded_lc.h"

#include <cstring>

#include "bits.h"
#include "full_lc.h"
#include "hamming_16_11.h"

namespace {

constexpr int lcss_single = 0;
constexpr int lcss_first = 1;
constexpr int lcss_last = 2;
constexpr int lcss_continuation = 3;

void store_fragment(uint8_t buffer[16], int index, const uint8_t fragment_symbols[16]) {
    uint8_t bits[32];
    symbols_to_bits(fragment_symbols, 16, bits);
    for (int i = 0; i < 32; ++i)
        if (bits[i]) put_bit(buffer, 32 * index + i, 1);
}

void overflow_message(const tessavox_state &state) {
    std::fputs("embedded data backlog overflow; ignoring frame data\n", state.err);
}

void clear_fragments(tessavox_state &state, int slot) {
    std::memset(state.fragments[slot], 0, sizeof state.fragments[slot]);
    state.fragment_count[slot] = 0;
}

// Row word r: column 0 in bit 15 down to column 15 in bit 0; buffer byte c
// is column c with row 0 in its most significant bit.
uint16_t row_word(const uint8_t buffer[16], int r) {
    uint16_t w = 0;
    for (int c = 0; c < 16; ++c) w = static_cast<uint16_t>((w << 1) | ((buffer[c] >> (7 - r)) & 1));
    return w;
}

void extract_lc(const uint16_t rows[8], uint8_t lc[9]) {
    std::memset(lc, 0, 9);
    int n = 0;
    for (int r = 0; r < 7; ++r) {
        int lowest = r < 2 ? 5 : 6;
        for (int b = 15; b >= lowest; --b) put_bit(lc, n++, (rows[r] >> b) & 1);
    }
}

int received_checksum(const uint16_t rows[8]) {
    int sum = 0;
    for (int r = 2; r <= 6; ++r) sum = (sum << 1) | ((rows[r] >> 5) & 1);
    return sum;
}

}  // namespace

int embedded_lc_checksum(const uint8_t lc[9]) {
    int sum = 0;
    for (int i = 0; i < 9; ++i) sum += lc[i];
    return sum % 31;
}

void collect_fragment(tessavox_state &state, const uint8_t fragment_symbols[16], int slot, int lcss) {
    uint8_t &count = state.fragment_count[slot];
    switch (lcss) {
        case lcss_first:
            clear_fragments(state, slot);
            store_fragment(state.fragments[slot], 0, fragment_symbols);
            count = 1;
            break;
        case lcss_continuation: {
            int i = count;
            count = static_cast<uint8_t>(i + 1);
            if (i > 3)
                overflow_message(state);
            else
                store_fragment(state.fragments[slot], i, fragment_symbols);
            break;
        }
        case lcss_last: {
            int i = count;
            if (i <= 3)
                store_fragment(state.fragments[slot], i, fragment_symbols);
            else
                overflow_message(state);
            if (i == 3) decode_embedded_lc(state, slot);
            clear_fragments(state, slot);
            break;
        }
        case lcss_single:
        default:
            break;
    }
}

void decode_embedded_lc(tessavox_state &state, int slot) {
    std::fprintf(state.err, "decoding embedded signalling for slot %i ", slot);

    uint16_t rows[8];
    for (int r = 0; r < 8; ++r) rows[r] = row_word(state.fragments[slot], r);

    uint16_t parity = 0;
    for (int r = 0; r < 7; ++r) {
        if (!hamming_16_11_correct(rows[r])) {
            std::fprintf(state.err, "incorrectable error in FLC (position %i)\n", r);
            return;
        }
        parity ^= rows[r];
    }
    if (parity != rows[7]) {
        std::fprintf(state.err, "FLC parity error: %i\n", parity ^ rows[7]);
        return;
    }

    uint8_t lc[9];
    extract_lc(rows, lc);
    int computed = embedded_lc_checksum(lc);
    int received = received_checksum(rows);
    if (computed != received) {
        std::fprintf(state.err, "FLC checksum error; checksum: %i, received checksum: %i\n", computed, received);
        return;
    }
    handle_embedded_lc(state, lc, slot);
}
