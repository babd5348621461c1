// SPDX-License-Identifier: MIT
#include "hamming_7_4_encoder.h"

#include "parity_rows_encoder.h"

namespace dmr_encode {

uint8_t hamming_7_4_encode(uint8_t data) {
    return static_cast<uint8_t>(encode_by_rows(data & 0xFu, hamming_7_4_rows, 3));
}

}  // namespace dmr_encode
