// SPDX-License-Identifier: MIT
#include "qr_16_7.h"

#include "error_pattern_code.h"

namespace {
constexpr uint32_t rows[9] = {0x7900, 0x3C80, 0x9E40, 0x3620, 0x6210, 0xC808, 0xE404, 0xF202, 0xAE01};
constexpr auto table = make_error_pattern_table<16, 9, 2>(rows);
static_assert(table.collisions == 0, "every pattern of up to two errors needs a syndrome of its own");
}  // namespace

bool qr_16_7_correct(uint16_t &word) {
    uint32_t w = word;
    if (!correct_error_pattern(w, rows, table)) return false;
    word = static_cast<uint16_t>(w);
    return true;
}
