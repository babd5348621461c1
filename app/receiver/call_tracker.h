// SPDX-License-Identifier: MIT
#pragma once
// Calls from metadata lines. The decoders repeat the whole record of a slot
// (DMR) or of the channel (System Fusion) on every change. A call is
// announced once its source is known (DMR: the source id; System Fusion: the
// source call sign); System Fusion sends target, source, down and up link in
// successive frames of a superframe, so the fields that arrive within the
// superframe after the source join that first event. A call updates when
// what it names changes, and ends at the first line that names nobody
// (terminator, lost sync), when its line stream goes silent, or at the end
// of input.

#include <optional>
#include <string_view>
#include <vector>

#include "event.h"

struct call_tracker {
    event_protocol protocol = event_protocol::dmr;
    int slot = 0;                // DMR: the metadata lines' slot (0, 1) this tracker follows
    bool active = false;         // a call is being followed (announced or not)
    bool announced = false;      // its first event has been given
    event current;               // the call as last reported (or to be announced)
    // System Fusion: which of target, down and up link have arrived (bits
    // 0, 1, 2), blank or not, since the call's first line.
    unsigned arrived = 0;
    double started = 0;          // time of the call's first event
    double first_line = 0;       // time of the first line naming the call
    double last_line = 0;        // time of its latest line
};

// A line of a silent slot ends its call after this many seconds of input.
inline constexpr double call_silence_seconds = 1.5;
// A System Fusion superframe: eight frames of 100 ms.
inline constexpr double ysf_superframe_seconds = 0.8;

// Feeds one metadata line (without its newline) that arrived at time; returns
// the events it causes, oldest first (a call, an update, or a call-end,
// which may follow the call it ends when that was not announced yet). DMR
// lines of another slot than the tracker's are ignored.
std::vector<event> track_line(call_tracker &tracker, std::string_view line, double time);

// The call's decoder still follows it at time (between its lines): its
// silence starts later.
void track_alive(call_tracker &tracker, double time);

// What time alone decides: a System Fusion call announced once a superframe
// has passed since its source arrived, and a call ended once its line stream
// has been silent for call_silence_seconds (or unconditionally with force,
// at the end of input). The call-end is stamped with time, its duration runs
// to the call's last line (silence) or to time (force).
std::vector<event> track_time(call_tracker &tracker, double time, bool force);
