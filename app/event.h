// SPDX-License-Identifier: MIT
#pragma once
// What zelvane reports: the start, update and end of a DMR or System Fusion
// call, and a POCSAG page.

#include <cstdint>
#include <string>

enum class event_kind { call, call_end, page };
enum class event_protocol { dmr, ysf, pocsag };

struct call_event {
    event_protocol protocol = event_protocol::dmr;
    event_kind kind = event_kind::call;
    double time = 0;      // seconds of input from its start
    double duration = 0;  // call_end only: seconds since the call started

    // DMR
    int slot = 0;
    std::string type;  // "group" or "direct"; empty when unknown
    long source = 0, target = 0;
    std::string alias;  // talker alias, unescaped; empty when unknown

    // System Fusion (call signs unescaped, trailing spaces removed)
    std::string mode, ysf_source, ysf_target, up, down, radio;

    // DMR and System Fusion
    bool has_position = false;
    double lat = 0, lon = 0;

    // POCSAG
    int baud = 0;
    long address = 0;
    int function = -1;  // 0 to 3; -1 when the decoder did not say
    std::string message;
};

// One JSON object on one line (newline included), with the fixed keys.
std::string event_json(const call_event &event);

// One readable line (newline included): time, protocol, event and its fields.
std::string event_text(const call_event &event);
