// SPDX-License-Identifier: MIT
#include "hamming_16_11.h"

#include "single_error_code.h"

namespace {
constexpr uint32_t rows[5] = {0xF590, 0x7AC8, 0x3D64, 0xEB22, 0xA6E1};
constexpr auto table = make_single_error_table<16, 5>(rows);
}  // namespace

bool hamming_16_11_correct(uint16_t &word) {
    uint32_t w = word;
    if (!correct_single_error(w, rows, table)) return false;
    word = static_cast<uint16_t>(w);
    return true;
}
