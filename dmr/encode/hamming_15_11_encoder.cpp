// SPDX-License-Identifier: MIT
#include "hamming_15_11_encoder.h"

#include "parity_rows_encoder.h"

namespace dmr_encode {

uint16_t hamming_15_11_encode(uint16_t data) {
    return static_cast<uint16_t>(encode_by_rows(data & 0x7FFu, hamming_15_11_rows, 4));
}

}  // namespace dmr_encode
