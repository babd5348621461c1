// SPDX-License-Identifier: MIT
#include "golay_20_8_encoder.h"

#include "parity_rows_encoder.h"

namespace dmr_encode {

uint32_t golay_20_8_encode(uint8_t data) { return encode_by_rows(data, golay_20_8_rows, 12); }

}  // namespace dmr_encode
