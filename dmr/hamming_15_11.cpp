// SPDX-License-Identifier: MIT
#include "hamming_15_11.h"

#include "single_error_code.h"

namespace {
constexpr uint32_t rows[4] = {0x7AC8, 0x3D64, 0x1EB2, 0x7591};
constexpr auto table = make_single_error_table<15, 4>(rows);
}  // namespace

bool hamming_15_11_correct(uint16_t &word) {
    uint32_t w = word & 0x7fffu;
    if (!correct_single_error(w, rows, table)) return false;
    word = static_cast<uint16_t>(w);
    return true;
}
