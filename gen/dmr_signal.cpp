// SPDX-License-Identifier: MIT
#include "dmr_signal.h"

#include <algorithm>
#include <cstddef>

using namespace dmr_encode;

namespace {

struct slot_burst {
    burst b;
    bool busy = false;
};

// An idle burst (data type 9) whose twelve data bytes are a fixed
// pseudo-random filler rather than zeros: a channel of all-zero idle bursts
// would send little but the +1 level between its syncs, and a receiver's
// level tracking would take that level for the outer one.
burst filled_idle_burst(int colour_code) {
    static const uint8_t filler[12] = {0x5A, 0xC3, 0x96, 0x2E, 0xF1, 0x0B, 0x7D, 0xA4, 0x38, 0xE9, 0x61, 0xD2};
    return bptc_data_burst(burst_sync::bs_data, colour_code, 9, filler);
}

void append_idle(std::vector<slot_burst> &out, int count, int colour_code) {
    const burst idle = filled_idle_burst(colour_code);
    for (int i = 0; i < count; ++i) out.push_back({idle, false});
}

void append_call(std::vector<slot_burst> &out, const dmr_call_plan &plan, int colour_code) {
    append_idle(out, plan.delay, colour_code);
    for (const csbk_block &b : plan.csbks) out.push_back({csbk_burst(burst_sync::bs_data, colour_code, b), true});
    for (const data_message &m : plan.data) {
        std::vector<burst> bursts;
        data_message_bursts(m, burst_sync::bs_data, colour_code, bursts);
        for (const burst &b : bursts) out.push_back({b, true});
    }
    if (!plan.send_voice) return;
    call c;
    c.slot = plan.slot;
    c.group = plan.group;
    c.target = plan.target;
    c.source = plan.source;
    c.colour_code = colour_code;
    c.service_options = plan.service_options;
    for (const burst &b : call_bursts(c, dmr_sent_frames(plan), plan.extras)) out.push_back({b, true});
}

}  // namespace

std::vector<codec_frame> dmr_sent_frames(const dmr_call_plan &call) {
    std::vector<codec_frame> frames = call.voice;
    // Superframes 1, 3, 5 .. carry the extra LCs in turn.
    const std::size_t extras_frames = 2 * call.extras.lcs.size() * frames_per_superframe;
    if (call.superframes == 0 && frames.size() < extras_frames && !call.voice.empty())
        frames.resize(extras_frames, codec_frame{});
    if (frames.empty()) {
        const int superframes = call.superframes == 0 ? static_cast<int>(2 * call.extras.lcs.size()) : call.superframes;
        const int count = call_frame_count(superframes * frames_per_superframe);
        for (int i = 0; i < count; ++i)
            frames.push_back(test_pattern_frame(dmr_pattern_base(call.slot) + static_cast<uint32_t>(i)));
    } else if (call.superframes > 0) {
        frames.resize(static_cast<std::size_t>(call.superframes * frames_per_superframe), codec_frame{});
    }
    return call_frames(frames);
}

std::vector<uint8_t> dmr_channel_symbols(const dmr_channel_plan &plan) {
    std::vector<slot_burst> slots[2];
    for (auto &s : slots) append_idle(s, dmr_lead_pairs, plan.colour_code);
    append_call(slots[plan.call.slot & 1], plan.call, plan.colour_code);
    if (plan.other_call) append_call(slots[(plan.call.slot & 1) ^ 1], plan.other, plan.colour_code);
    const std::size_t length = std::max(slots[0].size(), slots[1].size());
    for (auto &s : slots) append_idle(s, static_cast<int>(length - s.size()) + dmr_tail_pairs, plan.colour_code);

    std::vector<uint8_t> out;
    out.reserve(slots[0].size() * 2 * timeslot_symbols);
    for (std::size_t i = 0; i < slots[0].size(); ++i) {
        for (int slot = 0; slot < 2; ++slot) {
            const slot_burst &sb = slots[slot][i];
            append_timeslot(out, tact_word(sb.busy ? 1 : 0, slot, 0), 0, sb.b);
        }
    }
    return out;
}
