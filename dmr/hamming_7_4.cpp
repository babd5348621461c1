// SPDX-License-Identifier: MIT
#include "hamming_7_4.h"

#include "single_error_code.h"

namespace {
// Parity-check rows: each check bit with the data bits it covers.
constexpr uint32_t rows[3] = {0x74, 0x3a, 0x69};
constexpr auto table = make_single_error_table<7, 3>(rows);
}  // namespace

bool hamming_7_4_correct(uint8_t &tact) {
    uint32_t word = tact & 0x7fu;
    bool ok = correct_single_error(word, rows, table);
    tact = static_cast<uint8_t>(word);
    return ok;
}
