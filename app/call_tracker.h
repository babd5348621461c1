// SPDX-License-Identifier: MIT
#pragma once
// Calls from metadata lines. The decoders repeat the whole record of a slot
// (DMR) or of the channel (System Fusion) on every change; a call starts with
// the first line that names who talks (ids or call signs), updates when what
// it names changes, and ends at the first line that names nobody (terminator,
// lost sync), when the line stream goes silent, or at the end of input.

#include <optional>
#include <string_view>
#include <vector>

#include "event.h"

struct call_tracker {
    event_protocol protocol = event_protocol::dmr;
    int slot = 0;  // DMR: the slot whose lines this tracker follows
    bool active = false;
    call_event current;                 // the call as last reported
    double started = 0, last_line = 0;  // times of the call's start and its latest line
};

// A line of a silent slot ends its call after this many seconds of input.
inline constexpr double call_silence_seconds = 1.5;

// Feeds one metadata line (without its newline) that arrived at time; returns
// the events it causes (none, a call, or a call-end followed by nothing).
// DMR lines of another slot than the tracker's are ignored.
std::vector<call_event> track_line(call_tracker &tracker, std::string_view line, double time);

// Ends the call if its line stream has been silent since call_silence_seconds
// before time, or (force) unconditionally, as at the end of input.
std::optional<call_event> end_call_if_silent(call_tracker &tracker, double time, bool force);
