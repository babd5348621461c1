// SPDX-License-Identifier: MIT
#include "emb_encoder.h"

#include "bits.h"
#include "qr_16_7_encoder.h"

namespace dmr_encode {

uint16_t emb_word(int colour_code, int pi, int lcss) {
    return qr_16_7_encode(static_cast<uint8_t>(((colour_code & 15) << 3) | ((pi & 1) << 2) | (lcss & 3)));
}

void place_emb(uint16_t emb, uint32_t fragment, uint8_t centre[24]) {
    word_to_symbols(emb >> 8, 4, centre);
    word_to_symbols(fragment, 16, centre + 4);
    word_to_symbols(emb & 0xFFu, 4, centre + 20);
}

}  // namespace dmr_encode
