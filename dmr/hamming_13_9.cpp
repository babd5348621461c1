// SPDX-License-Identifier: MIT
#include "hamming_13_9.h"

#include "single_error_code.h"

namespace {
constexpr uint32_t rows[4] = {0x1AC8, 0x1D64, 0x1EB2, 0x1591};
constexpr auto table = make_single_error_table<13, 4>(rows);
}  // namespace

bool hamming_13_9_correct(uint16_t &word) {
    uint32_t w = word & 0x1fffu;
    if (!correct_single_error(w, rows, table)) return false;
    word = static_cast<uint16_t>(w);
    return true;
}
