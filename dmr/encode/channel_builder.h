// SPDX-License-Identifier: MIT
#pragma once
// Symbol streams of a two-slot DMR channel: timeslots of 144 symbols (CACH
// and burst) alternating between slot 0 and slot 1, and whole calls.

#include <array>
#include <cstdint>
#include <vector>

#include "burst_builder.h"
#include "pi_header_encoder.h"
#include "talker_alias_encoder.h"

namespace dmr_encode {

// A 12-byte codec frame (AMBE frame of the codec frame stream).
using codec_frame = std::array<uint8_t, 12>;

// A codec frame of the test pattern: 72 coded bits from a generator seeded
// by index, placed through the voice frame table (the 24 unused bits are 0,
// so a decoder returns it unchanged). Different indices give different
// frames.
codec_frame test_pattern_frame(uint32_t index);

// Frames 0..count-1 of the test pattern.
std::vector<codec_frame> test_pattern_frames(int count);

// One voice call in one slot.
struct call {
    int slot = 0;                 // 0 or 1
    bool group = true;            // group call (opcode 0) or direct call (opcode 3)
    uint32_t target = 9;          // group or called station, 24 bits
    uint32_t source = 2001;       // calling station, 24 bits
    int colour_code = 1;          // 0..15
    bool mobile = false;          // mobile station sync patterns instead of base station
    int lc_headers = 1;           // voice LC header bursts before the first superframe
    bool terminator = true;       // a terminator with LC after the last superframe
    uint8_t service_options = 0;  // of the LC: emergency 0x80, privacy 0x40, broadcast 0x08, OVCM 0x04, priority 0..3
};

// What a call may send beyond its voice LC.
struct call_extras {
    // Further embedded LCs (talker alias, GPS info), sent as a radio does:
    // superframes 0, 2, 4 .. carry the voice LC, superframes 1, 3, 5 .. these
    // in turn, from the first again after the last.
    std::vector<lc_bytes> lcs;
    bool bad_header_rs = false;  // voice LC headers with a wrong Reed-Solomon parity byte
    // An encrypted call: a PI header after the voice LC headers, and the PI
    // bit set in every EMB.
    bool encrypted = false;
    privacy pi;
};

// The full LC of a call.
full_lc call_lc(const call &c);

// The number of frames a call sends for count codec frames: count rounded up
// to whole superframes (18 frames); at least one superframe.
int call_frame_count(int count);

// The frames as the call sends them: the given frames followed by all-zero
// frames up to call_frame_count. The decoder's voice output of the call is
// these frames in order.
std::vector<codec_frame> call_frames(const std::vector<codec_frame> &frames);

// The bursts of one call in its own slot, in order: lc_headers voice LC
// headers, the voice superframes (burst A with voice sync, B to E with the
// embedded LC or an extra LC, F with a null fragment), the terminator if
// asked for.
std::vector<burst> call_bursts(const call &c, const std::vector<codec_frame> &frames, const call_extras &extras = {});

// Idle bursts of the colour code.
std::vector<burst> idle_bursts(int count, burst_sync sync, int colour_code);

struct channel_options {
    int first_slot = 0;   // slot of the first timeslot
    int colour_code = 1;  // of the idle bursts that pad a slot
    burst_sync idle_sync = burst_sync::bs_data;
    uint32_t short_lc = 0;  // 17 short-LC bits of every CACH
    // Idle timeslot pairs (busy 0) appended after both slots' bursts. A
    // receiver handles a burst only once symbols of the next timeslot have
    // arrived, so a stream whose last burst must be decoded needs one.
    int trailing_idle = 0;
};

// Appends one timeslot (CACH of the TACT word and short-LC bits, then the
// burst) to a symbol stream.
void append_timeslot(std::vector<uint8_t> &out, uint8_t tact, uint32_t short_lc, const burst &b);

// The symbol stream of a channel: timeslots alternate, beginning with
// first_slot, each taking the next burst of its slot's list. The shorter list
// is padded with idle bursts, so both slots send the same number of bursts.
// Each CACH has TC = the slot, AT (busy) 1 for a burst of the lists and 0 for
// a padding idle burst, LCSS 0 and the short-LC bits. The stream starts with
// the first CACH, so the first centre field starts at symbol 66.
std::vector<uint8_t> channel_symbols(const std::vector<burst> &slot0, const std::vector<burst> &slot1,
                                     const channel_options &options = {});

// The symbol stream of one call in its slot, the other slot sending idle
// bursts: channel_symbols with the call's bursts, beginning with slot 0, and
// one trailing idle pair so that the terminator is decoded too.
std::vector<uint8_t> call_symbols(const call &c, const std::vector<codec_frame> &frames);

}  // namespace dmr_encode
