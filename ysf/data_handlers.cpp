// SPDX-License-Identifier: MIT
#include "data_handlers.h"

#include <cstring>

#include "data_channel.h"
#include "position.h"
#include "radio_model.h"

namespace {

// Bytes 1..3 of the radio data block: its kind.
bool block_kind_is(const uint8_t *block, uint8_t a, uint8_t b, uint8_t c) {
    return block[1] == a && block[2] == b && block[3] == c;
}

void drop_position(ysf_record &record) {
    record.has_position = false;
    record.latitude = 0.0f;
    record.longitude = 0.0f;
}

// Frames 6 and 7 of the cycle: frame 6 starts the block, frame 7 completes
// it only right after a stored frame 6; anything else starts over.
void collect_radio_block(orbavox_state &state, uint8_t f, const uint8_t *data) {
    if (state.block_state + 1 == f) {
        std::memcpy(state.radio_block + mode2_channel_bytes * (f - 6), data, mode2_channel_bytes);
        state.block_state = f;
    } else {
        state.block_state = radio_block_waiting;
    }
}

}  // namespace

void handle_header(orbavox_state &state, const orbavox_streams &io) {
    for (int channel = 0; channel < 2; ++channel) {
        uint8_t data[header_channel_bytes];
        if (!decode_header_channel(state.ring, channel, data)) {
            std::fprintf(io.err, "header frame DCH%i CRC failure\n", channel + 1);
            continue;
        }
        ysf_record &r = state.record;
        std::memcpy(channel == 0 ? r.target : r.down, data, 10);
        std::memcpy(channel == 0 ? r.source : r.up, data + 10, 10);
        send_ysf_metadata(io.fifo, r);
    }
}

void handle_mode1_data(orbavox_state &state, const orbavox_streams &io) {
    // Without this frame's own FICH the data has no frame number.
    if (!state.frame_fich_decoded || state.fich.FN > 1) return;
    uint8_t data[mode1_channel_bytes];
    if (!decode_mode1_channel(state.ring, data)) return;
    ysf_record &r = state.record;
    char *first = state.fich.FN == 0 ? r.target : r.down;
    char *second = state.fich.FN == 0 ? r.source : r.up;
    if (std::memcmp(first, data, 10) == 0 && std::memcmp(second, data + 10, 10) == 0) return;
    std::memcpy(first, data, 10);
    std::memcpy(second, data + 10, 10);
    send_ysf_metadata(io.fifo, r);
}

bool evaluate_radio_block(orbavox_state &state, const orbavox_streams &io, bool &changed) {
    const uint8_t *block = state.radio_block;
    ysf_record &r = state.record;
    state.block_state = radio_block_waiting;

    if (block[18] != 0x03) {
        std::fputs("invalid terminator\n", io.err);
        return false;
    }
    uint8_t sum = 0;
    for (int i = 0; i < 19; ++i) sum = static_cast<uint8_t>(sum + block[i]);
    if (block[19] != sum) {
        std::fputs("checksum error\n", io.err);
        return false;
    }

    if (block_kind_is(block, 0x47, 0x63, 0x5f) || block_kind_is(block, 0x22, 0x61, 0x5f)) {
        drop_position(r);
        r.radio = radio_model_name(block[4]);
        send_ysf_metadata(io.fifo, r);
        return true;
    }
    if (block_kind_is(block, 0x22, 0x62, 0x5f)) {
        if (r.has_position) changed = true;
        drop_position(r);
        r.radio = radio_model_name(block[4]);
        float latitude = 0.0f, longitude = 0.0f;
        if (!decode_position(block + 5, latitude, longitude)) {
            std::fputs("gps decoding failed :(\n", io.err);
            return false;
        }
        r.has_position = true;
        r.latitude = latitude;
        r.longitude = longitude;
        send_ysf_metadata(io.fifo, r);
        return true;
    }
    r.radio = radio_model_name(block[4]);
    return false;
}

void handle_mode2_data(orbavox_state &state, const orbavox_streams &io) {
    uint8_t data[mode2_channel_bytes];
    if (!decode_mode2_channel(state.ring, data)) {
        std::fputs("DCH CRC failure\n", io.err);
        return;
    }
    // Without this frame's own FICH the data has no frame number.
    if (!state.frame_fich_decoded) return;

    uint8_t f = state.fich.FN;
    bool changed = false;
    bool sent = false;
    ysf_record &r = state.record;
    char *call_signs[4] = {r.target, r.source, r.down, r.up};
    if (f <= 3) {
        std::memcpy(call_signs[f], data, mode2_channel_bytes);
        changed = true;
    }
    if (f == 6 || f == 7)
        collect_radio_block(state, f, data);
    else if (state.block_state == radio_block_complete)
        sent = evaluate_radio_block(state, io, changed);

    if (changed && !sent) send_ysf_metadata(io.fifo, r);
}
