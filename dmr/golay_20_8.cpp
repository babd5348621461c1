// SPDX-License-Identifier: MIT
#include "golay_20_8.h"

#include "error_pattern_code.h"

namespace {
constexpr uint32_t rows[12] = {0x4F800, 0x68400, 0xB4200, 0xDA100, 0xED080, 0xB9040,
                               0x13020, 0xC6010, 0xE3008, 0x3E004, 0x9F002, 0x75001};
constexpr auto table = make_error_pattern_table<20, 12, 3>(rows);
static_assert(table.collisions == 0, "every pattern of up to three errors needs a syndrome of its own");
}  // namespace

bool golay_20_8_correct(uint32_t &word) {
    uint32_t w = word & 0xFFFFFu;
    if (!correct_error_pattern(w, rows, table)) return false;
    word = w;
    return true;
}
