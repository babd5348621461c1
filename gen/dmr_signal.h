// SPDX-License-Identifier: MIT
#pragma once
// The symbol stream of a DMR channel carrying one call, or a call in each
// slot, built from the fixture encoders.

#include <cstdint>
#include <vector>

#include "dmr_encode.h"

struct dmr_call_plan {
    int slot = 0;
    bool group = true;
    uint32_t target = 9;
    uint32_t source = 2001;
    int superframes = 0;  // 0: as many as the voice needs (at least one)
    // Codec frames to send; empty: the test pattern of the slot.
    std::vector<dmr_encode::codec_frame> voice;
    int delay = 0;  // idle bursts of the call's slot before its first burst
    // Talker alias and GPS info LCs between the voice LCs, and a wrong
    // Reed-Solomon code in the voice LC header. With superframes 0 the call
    // lasts long enough to send each of these LCs once.
    dmr_encode::call_extras extras;
    // CSBKs sent in the call's slot before it (after the delay), and whether
    // the voice call follows them at all.
    std::vector<dmr_encode::csbk_block> csbks;
    std::vector<dmr_encode::data_message> data;  // data messages after the CSBKs
    bool send_voice = true;
    uint8_t service_options = 0;  // of the voice LC (emergency 0x80, privacy 0x40)
};

struct dmr_channel_plan {
    int colour_code = 1;
    dmr_call_plan call;
    bool other_call = false;  // the other slot carries a call of its own
    dmr_call_plan other;
};

// Idle timeslot pairs before and after the calls, so that a receiver's
// levels and timing settle and its last burst is handled.
inline constexpr int dmr_lead_pairs = 2;
inline constexpr int dmr_tail_pairs = 2;

// The index of the first test-pattern frame (dmr_encode::test_pattern_frame)
// of the calls in a slot: slot 0 from 0, slot 1 from 1000000.
inline constexpr uint32_t dmr_pattern_base(int slot) { return slot == 0 ? 0u : 1000000u; }

// The codec frames a call sends, padding included, in order: what a
// receiver following the call writes.
std::vector<dmr_encode::codec_frame> dmr_sent_frames(const dmr_call_plan &call);

// The channel's symbol bytes: dmr_lead_pairs idle pairs, then both slots'
// bursts (a call's voice LC header, superframes and terminator; idle bursts
// where a slot has no call or waits for it), then dmr_tail_pairs idle
// pairs. Timeslots alternate from slot 0; the CACH of every timeslot tells
// its slot and is busy for the bursts of a call. Idle bursts carry a fixed
// pseudo-random filler in their data.
std::vector<uint8_t> dmr_channel_symbols(const dmr_channel_plan &plan);
