// SPDX-License-Identifier: MIT
#include "frame_builder.h"

#include <cstring>

#include "codec_frame.h"
#include "voice_channel_encode.h"
#include "voice_frame_table.h"

namespace ysf_encode {
namespace {

constexpr int frame_number_cycle = 8;  // FN 0..7, FT 7
constexpr int default_pattern_frames = 16;

inline bool valid_block(int block) { return block >= 0 && block < frame_blocks; }

inline uint8_t *block_start(uint8_t *frame, int block) { return frame + first_block_offset + block_symbols * block; }

// The data channel bytes of a V/D mode 2 frame of frame number fn.
void mode2_channel_data(const transmission_plan &plan, const uint8_t radio_block[radio_block_bytes], int fn,
                        uint8_t data[mode2_channel_bytes]) {
    const call_sign_field *fields[4] = {&plan.calls.target, &plan.calls.source, &plan.calls.down, &plan.calls.up};
    std::memset(data, 0, mode2_channel_bytes);
    if (fn < 4)
        std::memcpy(data, fields[fn]->data(), mode2_channel_bytes);
    else if (fn >= 6)
        std::memcpy(data, radio_block + mode2_channel_bytes * (fn - 6), mode2_channel_bytes);
}

// The data channel bytes of a V/D mode 1 frame: target and source at frame
// number 0, downlink and uplink at 1, zero bytes at the others.
void mode1_channel_data(const call_signs &calls, int fn, uint8_t data[header_channel_bytes]) {
    std::memset(data, 0, header_channel_bytes);
    if (fn > 1) return;
    const call_sign_field &first = fn == 0 ? calls.target : calls.down;
    const call_sign_field &second = fn == 0 ? calls.source : calls.up;
    std::memcpy(data, first.data(), 10);
    std::memcpy(data + 10, second.data(), 10);
}

// A 32-bit mixing step for the test voice pattern.
uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

bool plan_is_valid(const transmission_plan &plan, int frame_size) {
    if (plan.data_type != fich_dt_vd_mode1 && plan.data_type != fich_dt_vd_mode2 &&
        plan.data_type != fich_dt_voice_full_rate)
        return false;
    if (plan.voice.size() % static_cast<size_t>(frame_size) != 0) return false;
    return plan.communication_frames >= 0;
}

// The codec frame for voice slot `slot` of the transmission: given voice,
// the test pattern, or zero padding once given voice runs out.
void plan_voice_frame(const transmission_plan &plan, int frame_size, long slot, uint8_t *frame) {
    size_t given = plan.voice.size() / static_cast<size_t>(frame_size);
    if (plan.voice.empty())
        test_voice_frame(plan.data_type, static_cast<int>(slot), frame);
    else if (static_cast<size_t>(slot) < given)
        std::memcpy(frame, plan.voice.data() + slot * frame_size, static_cast<size_t>(frame_size));
    else
        std::memset(frame, 0, static_cast<size_t>(frame_size));
}

// The number of communication frames the plan sends.
int plan_frame_count(const transmission_plan &plan, int frame_size) {
    if (plan.communication_frames > 0) return plan.communication_frames;
    if (plan.voice.empty()) return default_pattern_frames;
    long frames_left = static_cast<long>(plan.voice.size() / static_cast<size_t>(frame_size));
    // After a header, the first voice full-rate frame carries two voice frames.
    int count = 0;
    bool short_first = plan.header && plan.data_type == fich_dt_voice_full_rate;
    do {
        frames_left -= (count == 0 && short_first) ? 2 : frame_blocks;
        ++count;
    } while (frames_left > 0);
    return count;
}

}  // namespace

void start_frame(const fich_fields &fich, uint8_t frame[frame_symbols]) {
    std::memset(frame, 0, frame_symbols);
    std::memcpy(frame, frame_sync, frame_sync_symbols);
    encode_fich(fich, frame + fich_offset);
}

void put_vd1_voice(const uint8_t codec[12], int block, uint8_t frame[frame_symbols]) {
    if (valid_block(block)) encode_vd1_voice(codec, block_start(frame, block) + 36);
}

void put_vd2_voice(const uint8_t codec[7], int block, uint8_t frame[frame_symbols]) {
    if (valid_block(block)) encode_vd2_voice(codec, block_start(frame, block) + 20);
}

void put_vfr_voice(const uint8_t codec[18], int block, uint8_t frame[frame_symbols]) {
    if (valid_block(block)) encode_vfr_voice(codec, block_start(frame, block));
}

void build_header_frame(const fich_fields &fich, const call_signs &calls, uint8_t frame[frame_symbols]) {
    start_frame(fich, frame);
    uint8_t data[header_channel_bytes];
    std::memcpy(data, calls.target.data(), 10);
    std::memcpy(data + 10, calls.source.data(), 10);
    put_header_channel(data, 1, frame);
    std::memcpy(data, calls.down.data(), 10);
    std::memcpy(data + 10, calls.up.data(), 10);
    put_header_channel(data, 2, frame);
}

void build_communication_frame(const fich_fields &fich, const uint8_t *voice, int first_block, const uint8_t *data,
                               uint8_t frame[frame_symbols]) {
    start_frame(fich, frame);
    static const uint8_t zeros[header_channel_bytes] = {};
    const uint8_t *channel = data ? data : zeros;
    uint8_t dt = fich.dt & 3;
    if (dt == fich_dt_vd_mode1) put_header_channel(channel, 1, frame);
    if (dt == fich_dt_vd_mode2) put_mode2_channel(channel, frame);
    if (!voice || dt == fich_dt_data_full_rate) return;
    int size = codec_frame_size(dt);
    for (int b = first_block < 0 ? 0 : first_block, k = 0; b < frame_blocks; ++b, ++k) {
        const uint8_t *codec = voice + k * size;
        if (dt == fich_dt_vd_mode1) put_vd1_voice(codec, b, frame);
        if (dt == fich_dt_vd_mode2) put_vd2_voice(codec, b, frame);
        if (dt == fich_dt_voice_full_rate) put_vfr_voice(codec, b, frame);
    }
}

void test_voice_frame(uint8_t data_type, int index, uint8_t *frame) {
    int size = codec_frame_size(data_type);
    if (data_type == 1 || size == 0) return;
    for (int i = 0; i < size; ++i)
        frame[i] = static_cast<uint8_t>(mix(static_cast<uint32_t>(index) * 131u + static_cast<uint32_t>(i) + 1u));
    if (data_type == codec_mode_ambe) {
        // Keep only the 72 coded positions of the 4 x 24 field.
        uint8_t bits[72];
        extract_voice_frame(frame, bits);
        place_voice_frame(bits, frame);
    } else if (data_type == codec_mode_ambe_parameters) {
        frame[6] &= 0x80;  // bits 49..55 carry nothing
    }
}

bool build_transmission(const transmission_plan &plan, transmission &out) {
    int frame_size = codec_frame_size(plan.data_type);
    if (frame_size == 0 || !plan_is_valid(plan, frame_size)) return false;
    uint8_t radio_block[radio_block_bytes] = {};
    if (plan.data_type == fich_dt_vd_mode2) {
        uint8_t position[position_bytes];
        if (plan.has_position) {
            if (!encode_position(plan.latitude, plan.longitude, position)) return false;
            build_radio_data_block(radio_kind_position, plan.radio_model, position, radio_block);
        } else {
            build_radio_data_block(radio_kind_a, plan.radio_model, nullptr, radio_block);
        }
    }

    int comm_frames = plan_frame_count(plan, frame_size);
    transmission result;
    result.frames = comm_frames + (plan.header ? 1 : 0) + (plan.terminator ? 1 : 0);
    result.symbols.resize(static_cast<size_t>(result.frames) * frame_symbols);
    uint8_t *frame = result.symbols.data();

    fich_fields fich;
    fich.dt = plan.data_type;
    fich.ft = frame_number_cycle - 1;
    if (plan.header) {
        fich.fi = fich_fi_header;
        build_header_frame(fich, plan.calls, frame);
        frame += frame_symbols;
    }
    long slot = 0;
    std::vector<uint8_t> voice(static_cast<size_t>(frame_blocks * frame_size));
    for (int n = 0; n < comm_frames; ++n, frame += frame_symbols) {
        fich.fi = fich_fi_communication;
        fich.fn = static_cast<uint8_t>(n % frame_number_cycle);
        int first_block = (n == 0 && plan.header && plan.data_type == fich_dt_voice_full_rate) ? 3 : 0;
        int count = frame_blocks - first_block;
        for (int k = 0; k < count; ++k, ++slot) {
            uint8_t *codec = voice.data() + k * frame_size;
            plan_voice_frame(plan, frame_size, slot, codec);
            result.voice_records.push_back(plan.data_type);
            result.voice_records.insert(result.voice_records.end(), codec, codec + frame_size);
        }
        uint8_t data[header_channel_bytes];
        if (plan.data_type == fich_dt_vd_mode2) mode2_channel_data(plan, radio_block, fich.fn, data);
        if (plan.data_type == fich_dt_vd_mode1) mode1_channel_data(plan.calls, fich.fn, data);
        build_communication_frame(fich, voice.data(), first_block, data, frame);
    }
    if (plan.terminator) {
        fich.fi = fich_fi_terminator;
        fich.fn = 0;
        build_header_frame(fich, plan.calls, frame);
    }
    out = std::move(result);
    return true;
}

}  // namespace ysf_encode
