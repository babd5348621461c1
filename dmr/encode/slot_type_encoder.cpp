// SPDX-License-Identifier: MIT
#include "slot_type_encoder.h"

#include "bits.h"
#include "burst_layout.h"
#include "golay_20_8_encoder.h"

namespace dmr_encode {

uint32_t slot_type_word(int colour_code, int data_type) {
    return golay_20_8_encode(static_cast<uint8_t>(((colour_code & 15) << 4) | (data_type & 15)));
}

void place_slot_type(uint32_t word, uint8_t symbols[132]) {
    word_to_symbols((word >> 10) & 0x3FFu, slot_type_half_symbols,
                    symbols + burst_centre_offset - slot_type_half_symbols);
    word_to_symbols(word & 0x3FFu, slot_type_half_symbols, symbols + burst_second_half_offset);
}

}  // namespace dmr_encode
