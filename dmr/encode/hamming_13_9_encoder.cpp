// SPDX-License-Identifier: MIT
#include "hamming_13_9_encoder.h"

#include "parity_rows_encoder.h"

namespace dmr_encode {

uint16_t hamming_13_9_encode(uint16_t data) {
    return static_cast<uint16_t>(encode_by_rows(data & 0x1FFu, hamming_13_9_rows, 4));
}

}  // namespace dmr_encode
