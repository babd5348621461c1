// SPDX-License-Identifier: MIT
#include "channel_builder.h"

#include <cstddef>

#include "cach_encoder.h"
#include "embedded_lc_encoder.h"
#include "rs_12_9_encoder.h"
#include "voice_frame_table.h"

namespace dmr_encode {

codec_frame test_pattern_frame(uint32_t index) {
    // A 32-bit xorshift generator, seeded so that index 0 is not all zero.
    uint32_t state = index * 0x9E3779B9u + 0x6D2B79F5u;
    uint8_t bits[72];
    for (int i = 0; i < 72; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bits[i] = static_cast<uint8_t>(state >> 31);
    }
    codec_frame frame;
    place_voice_frame(bits, frame.data());
    return frame;
}

std::vector<codec_frame> test_pattern_frames(int count) {
    std::vector<codec_frame> frames;
    for (int i = 0; i < count; ++i) frames.push_back(test_pattern_frame(static_cast<uint32_t>(i)));
    return frames;
}

full_lc call_lc(const call &c) {
    full_lc lc;
    lc.opcode = c.group ? flc_group_voice : flc_direct_voice;
    lc.target = c.target;
    lc.source = c.source;
    lc.service_options = c.service_options;
    return lc;
}

int call_frame_count(int count) {
    int superframes = count <= 0 ? 1 : (count + frames_per_superframe - 1) / frames_per_superframe;
    return superframes * frames_per_superframe;
}

std::vector<codec_frame> call_frames(const std::vector<codec_frame> &frames) {
    std::vector<codec_frame> sent = frames;
    sent.resize(static_cast<std::size_t>(call_frame_count(static_cast<int>(frames.size()))), codec_frame{});
    return sent;
}

std::vector<burst> call_bursts(const call &c, const std::vector<codec_frame> &frames, const call_extras &extras) {
    full_lc lc = call_lc(c);
    uint8_t lc_bytes[9];
    uint8_t lc_block[embedded_lc_block_bytes];
    full_lc_bytes(lc, lc_bytes);
    embedded_lc_encode(lc_bytes, lc_block);

    std::vector<burst> out;
    for (int i = 0; i < c.lc_headers; ++i) {
        if (!extras.bad_header_rs) {
            out.push_back(voice_lc_header_burst(data_sync_of(c.mobile), c.colour_code, lc));
            continue;
        }
        uint8_t data[12];
        full_lc_data(lc, rs_mask_voice_lc_header, data);
        data[11] ^= 0x01;
        out.push_back(bptc_data_burst(data_sync_of(c.mobile), c.colour_code, 1, data));
    }
    if (extras.encrypted) out.push_back(pi_header_burst(data_sync_of(c.mobile), c.colour_code, extras.pi, c.target));

    std::vector<codec_frame> sent = call_frames(frames);
    for (std::size_t first = 0; first < sent.size(); first += frames_per_superframe) {
        uint8_t bytes[frames_per_superframe * 12];
        for (int i = 0; i < frames_per_superframe; ++i)
            for (int j = 0; j < 12; ++j)
                bytes[12 * i + j] = sent[first + static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        const std::size_t superframe = first / frames_per_superframe;
        uint8_t extra_block[embedded_lc_block_bytes];
        const uint8_t *block = lc_block;
        if (!extras.lcs.empty() && superframe % 2 == 1) {
            embedded_lc_encode(extras.lcs[(superframe / 2) % extras.lcs.size()].data(), extra_block);
            block = extra_block;
        }
        append_voice_superframe(out, voice_sync_of(c.mobile), c.colour_code, block, bytes, extras.encrypted ? 1 : 0);
    }
    if (c.terminator) out.push_back(terminator_burst(data_sync_of(c.mobile), c.colour_code, lc));
    return out;
}

std::vector<burst> idle_bursts(int count, burst_sync sync, int colour_code) {
    return std::vector<burst>(static_cast<std::size_t>(count < 0 ? 0 : count), idle_burst(sync, colour_code));
}

void append_timeslot(std::vector<uint8_t> &out, uint8_t tact, uint32_t short_lc, const burst &b) {
    uint8_t cach[cach_symbols];
    build_cach(tact, short_lc, cach);
    out.insert(out.end(), cach, cach + cach_symbols);
    out.insert(out.end(), b.symbols, b.symbols + burst_symbols);
}

std::vector<uint8_t> channel_symbols(const std::vector<burst> &slot0, const std::vector<burst> &slot1,
                                     const channel_options &options) {
    const std::vector<burst> *lists[2] = {&slot0, &slot1};
    std::size_t count = slot0.size() > slot1.size() ? slot0.size() : slot1.size();
    if (options.trailing_idle > 0) count += static_cast<std::size_t>(options.trailing_idle);
    burst idle = idle_burst(options.idle_sync, options.colour_code);
    int first = options.first_slot & 1;

    std::vector<uint8_t> out;
    out.reserve(2 * count * timeslot_symbols);
    for (std::size_t i = 0; i < count; ++i) {
        for (int turn = 0; turn < 2; ++turn) {
            int slot = first ^ turn;
            const std::vector<burst> &list = *lists[slot];
            bool real = i < list.size();
            append_timeslot(out, tact_word(real ? 1 : 0, slot, 0), options.short_lc, real ? list[i] : idle);
        }
    }
    return out;
}

std::vector<uint8_t> call_symbols(const call &c, const std::vector<codec_frame> &frames) {
    std::vector<burst> bursts = call_bursts(c, frames);
    std::vector<burst> none;
    channel_options options;
    options.colour_code = c.colour_code;
    options.idle_sync = data_sync_of(c.mobile);
    options.trailing_idle = 1;
    return (c.slot & 1) ? channel_symbols(none, bursts, options) : channel_symbols(bursts, none, options);
}

}  // namespace dmr_encode
