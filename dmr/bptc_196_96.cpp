// SPDX-License-Identifier: MIT
#include "bptc_196_96.h"

#include "bits.h"
#include "hamming_13_9.h"
#include "hamming_15_11.h"

namespace {

constexpr int rows = 13;
constexpr int columns = 15;
constexpr int data_rows = 9;

// Received bit carrying matrix bit (r, c).
constexpr int received_bit(int r, int c) { return ((1 + columns * r + c) * 181) % 196; }

// Corrects the 15 column words of the matrix; every column is processed even
// after one has failed.
bool correct_columns(const uint8_t in[25], uint16_t column_words[columns]) {
    bool ok = true;
    for (int c = 0; c < columns; ++c) {
        uint16_t w = 0;
        for (int r = 0; r < rows; ++r) w = static_cast<uint16_t>((w << 1) | bit_at(in, received_bit(r, c)));
        if (!hamming_13_9_correct(w)) ok = false;
        column_words[c] = w;
    }
    return ok;
}

// Matrix bit (r, c) of the corrected columns.
int matrix_bit(const uint16_t column_words[columns], int r, int c) { return (column_words[c] >> (rows - 1 - r)) & 1; }

}  // namespace

bool decode_bptc_196_96(const uint8_t in[25], uint8_t out[12]) {
    uint16_t column_words[columns];
    if (!correct_columns(in, column_words)) return false;

    for (int i = 0; i < 12; ++i) out[i] = 0;
    int n = 0;
    for (int r = 0; r < data_rows; ++r) {
        uint16_t w = 0;
        for (int c = 0; c < columns; ++c) w = static_cast<uint16_t>((w << 1) | matrix_bit(column_words, r, c));
        if (!hamming_15_11_correct(w)) return false;
        // Row 0 columns 0..2 are reserved; the data bits are columns 3..10 of
        // row 0 and columns 0..10 of the other rows.
        for (int c = r == 0 ? 3 : 0; c <= 10; ++c) put_bit(out, n++, (w >> (columns - 1 - c)) & 1);
    }
    return true;
}
