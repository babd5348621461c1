// SPDX-License-Identifier: MIT
#pragma once
// The JSON sidecar of a call's speech file: what a call server ingesting
// the file wants to know of the call, in one JSON object.

#include <cstdint>
#include <string>
#include <vector>

#include "event.h"

// What the speech sink gathers of one call while it runs.
struct call_record {
    event first;  // the call's first event
    event last;   // its latest event (the call-end once it ended)

    // Each talker in turn: the time it started talking (a call's update
    // with another source starts a turn).
    struct turn {
        double time = 0;
        std::string utc;
        long source = 0;         // DMR
        std::string ysf_source;  // System Fusion
        std::string source_name, alias;
    };
    std::vector<turn> turns;
    turn talking;               // the talker now
    bool talking_kept = false;  // ... is turns.back()

    struct position {
        double time = 0;
        double lat = 0, lon = 0;
    };
    std::vector<position> positions;

    // At most this many turns and positions are kept (a stream of updates
    // from ever new sources must not grow without bound); the rest counted.
    static constexpr size_t kept = 500;
    long long turns_left_out = 0, positions_left_out = 0;

    double stop = 0;  // input seconds at the end
    std::string audio, audio_format;
    long long samples = 0;     // speech samples in the file (8000 a second)
    bool audio_cut = false;    // writing failed: the file holds less than the call
    bool interrupted = false;  // the run stopped before the call ended
};

// Adds the event of the call (its first, an update or its end) to record.
void call_record_take(call_record &record, const event &e);

// The sidecar's text: one JSON object and a newline.
std::string sidecar_json(const call_record &record);

// utc (ISO 8601, "2026-12-11T11:19:35.480Z") moved by seconds, in the same
// form; empty when utc is not of that form.
std::string utc_plus(const std::string &utc, double seconds);
