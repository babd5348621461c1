// SPDX-License-Identifier: MIT
#include "qr_16_7_encoder.h"

#include "parity_rows_encoder.h"

namespace dmr_encode {

uint16_t qr_16_7_encode(uint8_t data) { return static_cast<uint16_t>(encode_by_rows(data & 0x7Fu, qr_16_7_rows, 9)); }

}  // namespace dmr_encode
