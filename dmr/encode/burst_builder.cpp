// SPDX-License-Identifier: MIT
#include "burst_builder.h"

#include "bits.h"
#include "bptc_196_96_encoder.h"
#include "emb_encoder.h"
#include "embedded_lc_encoder.h"
#include "rs_12_9_encoder.h"
#include "slot_type_encoder.h"
#include "voice_payload_encoder.h"

namespace dmr_encode {

namespace {

void place_voice_frames(const uint8_t frames[36], burst &b) {
    uint8_t payload[27];
    interleave_voice(frames, payload);
    place_voice_payload(payload, b.symbols);
}

// Writes the 196 information bits around the slot type: the first 98 bits in
// symbols 0..48, the last 98 in symbols 83..131.
void place_information(const uint8_t info[25], burst &b) {
    uint8_t bits[bptc_196_96_bits];
    unpack_bits(info, bptc_196_96_bits, bits);
    bits_to_symbols(bits, info_half_symbols, b.symbols);
    bits_to_symbols(bits + 2 * info_half_symbols, info_half_symbols, b.symbols + burst_symbols - info_half_symbols);
}

}  // namespace

burst voice_sync_burst(burst_sync sync, const uint8_t frames[36]) {
    burst b;
    place_voice_frames(frames, b);
    place_sync(sync, b.symbols + burst_centre_offset);
    return b;
}

burst embedded_voice_burst(uint16_t emb, uint32_t fragment, const uint8_t frames[36]) {
    burst b;
    place_voice_frames(frames, b);
    place_emb(emb, fragment, b.symbols + burst_centre_offset);
    return b;
}

burst data_burst(burst_sync sync, uint32_t slot_type, const uint8_t info[25]) {
    burst b;
    place_information(info, b);
    place_slot_type(slot_type, b.symbols);
    place_sync(sync, b.symbols + burst_centre_offset);
    return b;
}

burst bptc_data_burst(burst_sync sync, int colour_code, int data_type, const uint8_t data[12]) {
    uint8_t info[bptc_196_96_bytes];
    bptc_196_96_encode(data, info);
    return data_burst(sync, slot_type_word(colour_code, data_type), info);
}

burst voice_lc_header_burst(burst_sync sync, int colour_code, const full_lc &lc) {
    uint8_t data[12];
    full_lc_data(lc, rs_mask_voice_lc_header, data);
    return bptc_data_burst(sync, colour_code, data_type_voice_lc_header, data);
}

burst terminator_burst(burst_sync sync, int colour_code, const full_lc &lc) {
    uint8_t data[12];
    full_lc_data(lc, rs_mask_terminator_lc, data);
    return bptc_data_burst(sync, colour_code, data_type_terminator_lc, data);
}

burst idle_burst(burst_sync sync, int colour_code) {
    const uint8_t data[12] = {};
    return bptc_data_burst(sync, colour_code, data_type_idle, data);
}

void append_voice_superframe(std::vector<burst> &out, burst_sync voice_sync, int colour_code,
                             const uint8_t lc_block[16], const uint8_t frames[216], int pi) {
    constexpr int burst_frame_bytes = 36;
    out.push_back(voice_sync_burst(voice_sync, frames));
    for (int k = 0; k < 4; ++k)
        out.push_back(embedded_voice_burst(emb_word(colour_code, pi, embedded_lc_fragment_lcss(k)),
                                           embedded_lc_fragment(lc_block, k), frames + burst_frame_bytes * (k + 1)));
    out.push_back(embedded_voice_burst(emb_word(colour_code, pi, 0), 0, frames + burst_frame_bytes * 5));
}

}  // namespace dmr_encode
