// SPDX-License-Identifier: MIT
#pragma once
// What zelvane reports, as one value type for every kind of report: the
// start, update and end of a DMR or System Fusion call, a POCSAG page, and
// what later kinds add (signal, control and data reports).
//
// Every event is stamped with the input time at which its decoder decided,
// and, where the engine knows them, the channel's frequency, the station
// name and the wall-clock time. Text fields hold the received bytes
// unescaped (as the transmitter sent them); each output form escapes them
// for itself.

#include <cstdint>
#include <string>
#include <vector>

// page_repeat: a page received again within the duplicate window; sinks
// that report events skip it, a log counts it on the page's row.
// gap: the input itself lost a stretch (a network stream dropped and
// reconnected); protocol input.
enum class event_kind { call, call_end, page, signal, csbk, data, page_repeat, gap };
enum class event_protocol { dmr, ysf, pocsag, input };

const char *event_kind_name(event_kind kind);          // "call", "call-end", "page", ...
const char *event_protocol_name(event_protocol protocol);  // "DMR", "YSF", "POCSAG", "INPUT"

// A key added to an event beyond the fixed ones, written after them in
// JSON (in the order added). number holds integers and decimals alike;
// text is written as a JSON string; flag as true or false.
struct event_field {
    enum class form { number, text, flag, raw };
    std::string key;
    form kind = form::text;
    std::string value;  // number: its decimal text; text: the bytes; flag: "true"/"false"; raw: JSON
};

struct event {
    event_protocol protocol = event_protocol::dmr;
    event_kind kind = event_kind::call;
    double time = 0;      // seconds of input from its start, at the deciding sample
    double duration = 0;  // call_end only: seconds since the call started

    // Where and when: the channel's centre in Hz (0 for a narrowband input,
    // whose frequency zelvane does not know), the channels a simulcast page
    // was heard on, the station name, and the wall-clock time (ISO 8601 UTC
    // with milliseconds; empty where unknown).
    int64_t frequency = 0;
    std::vector<int64_t> frequencies;
    std::string station;
    std::string utc;

    // One call's events (call, its updates, call-end) and its speech share
    // this number; 0 for events of no call.
    uint64_t call_id = 0;

    // DMR: timeslot 1 or 2 (TS1, TS2, as the standard numbers them).
    int slot = 1;
    std::string type;  // "group" or "direct"; empty when unknown
    long source = 0, target = 0;
    std::string alias;  // talker alias
    // DMR service options and privacy, from words whose checks passed: an
    // emergency call; an encrypted one with its algorithm and key (-1 when
    // not told).
    bool emergency = false, encrypted = false;
    int algorithm = -1, key_id = -1;

    // System Fusion (call signs with trailing spaces removed)
    std::string mode, ysf_source, ysf_target, up, down, radio;

    // DMR and System Fusion
    bool has_position = false;
    double lat = 0, lon = 0;

    // POCSAG
    int baud = 0;
    long address = 0;
    int function = -1;  // 0 to 3; -1 when the decoder did not say
    std::string message;

    // Names from the name lists, where one matched (empty otherwise).
    std::string source_name, target_name, name;

    // call_end: the speech file written for the call (its file name, no
    // folder), empty when none.
    std::string audio;

    // page_repeat: how often the page has now been received in all.
    int repeats = 0;

    // Keys beyond the fixed ones.
    std::vector<event_field> extra;

    // signal, csbk and data events: what their readable line says after the
    // event's name ("base station, colour code 1"); not part of the JSON.
    std::string summary;
};

// Adds a key of the given form after the fixed ones.
void add_number(event &e, std::string key, long long value);
void add_decimal(event &e, std::string key, double value, int decimals);
void add_text(event &e, std::string key, std::string value);
void add_flag(event &e, std::string key, bool value);
// The extra key's field, or null.
const event_field *find_extra(const event &e, const std::string &key);
