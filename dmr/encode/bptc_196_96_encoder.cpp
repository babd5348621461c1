// SPDX-License-Identifier: MIT
#include "bptc_196_96_encoder.h"

#include "bits.h"
#include "hamming_13_9_encoder.h"
#include "hamming_15_11_encoder.h"

namespace dmr_encode {

namespace {

constexpr int rows = 13;
constexpr int columns = 15;
constexpr int data_rows = 9;

// Fills the 13 x 15 matrix (one bit per byte) with the data bits and the
// row and column check bits.
void fill_matrix(const uint8_t data[12], uint8_t matrix[rows][columns]) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) matrix[r][c] = 0;
    int n = 0;
    for (int r = 0; r < data_rows; ++r)
        for (int c = (r == 0 ? 3 : 0); c < 11; ++c) matrix[r][c] = static_cast<uint8_t>(bit_at(data, n++));

    for (int r = 0; r < data_rows; ++r) {
        uint16_t codeword = hamming_15_11_encode(static_cast<uint16_t>(bits_to_word(matrix[r], 11)));
        for (int c = 11; c < columns; ++c) matrix[r][c] = static_cast<uint8_t>((codeword >> (14 - c)) & 1);
    }
    for (int c = 0; c < columns; ++c) {
        uint16_t column_data = 0;
        for (int r = 0; r < data_rows; ++r) column_data = static_cast<uint16_t>((column_data << 1) | matrix[r][c]);
        uint16_t codeword = hamming_13_9_encode(column_data);
        for (int r = data_rows; r < rows; ++r) matrix[r][c] = static_cast<uint8_t>((codeword >> (12 - r)) & 1);
    }
}

}  // namespace

int bptc_196_96_bit_of(int row, int column) { return bptc_196_96_interleave(1 + columns * row + column); }

void bptc_196_96_encode(const uint8_t data[12], uint8_t bits[25]) {
    uint8_t matrix[rows][columns];
    fill_matrix(data, matrix);
    for (int i = 0; i < bptc_196_96_bytes; ++i) bits[i] = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (matrix[r][c]) put_bit(bits, bptc_196_96_bit_of(r, c), 1);
}

}  // namespace dmr_encode
