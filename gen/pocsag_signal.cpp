// SPDX-License-Identifier: MIT
#include "pocsag_signal.h"

std::vector<uint8_t> pocsag_stream_bits(const std::vector<pocsag_page> &pages) {
    std::vector<uint8_t> bits = pocsag_transmission(pages);
    for (int i = 0; i < pocsag_tail_bits; ++i) bits.push_back(static_cast<uint8_t>((i + 1) & 1));
    return bits;
}
