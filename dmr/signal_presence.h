// SPDX-License-Identifier: MIT
#pragma once
// What each slot of the channel shows of the station that sends it: base
// station or mobile station (from its sync patterns), colour code (from a
// valid EMB or slot type) and what the slot carries: voice, data, idle or
// control. A change is reported on an event line of the slot:
//   protocol:DMR;slot:S;signal:BS|MS;[cc:N;][carries:voice|data|idle|control;]
// and lost sync ends it with
//   protocol:DMR;slot:S;signal:none;
// The lines are sent only with report_presence (tessavox --presence).
// What a slot carries changes only when two bursts in a row of the slot
// agree (voice at once), so that a control channel's CSBKs between idle
// bursts do not make a line of every burst.

#include <cstdint>

struct tessavox_state;

struct slot_presence {
    const char *station = "";   // "", presence_bs or presence_ms
    int colour_code = -1;       // -1 unknown
    int colour_candidate = -1;  // from unchecked idle bursts: taken when seen three times in a row
    int colour_count = 0;
    const char *carries = "";  // "", "voice", "data", "idle", "control"
    const char *candidate = "";
    bool reported = false;
};

inline constexpr const char presence_bs[] = "BS";
inline constexpr const char presence_ms[] = "MS";
inline constexpr const char presence_voice[] = "voice";
inline constexpr const char presence_data[] = "data";
inline constexpr const char presence_idle[] = "idle";
inline constexpr const char presence_control[] = "control";

// A sync burst of the slot: sync pattern 0..3 (base station data and voice,
// mobile station data and voice).
void note_station(tessavox_state &state, int slot, int pattern);

// A colour code: checked (an EMB of a confirmed voice slot, the slot type
// of a burst whose CRC or Reed-Solomon check passed) is taken at once; an
// unchecked one (an idle burst, whose BPTC is its only check) only when
// three in a row of the slot agree. Nothing is reported before a colour
// code is known, so a wrong-polarity or noisy signal stays silent.
void note_colour_code(tessavox_state &state, int slot, int colour_code, bool checked);

// What one burst of the slot carried (one of the presence_ texts).
void note_carries(tessavox_state &state, int slot, const char *what);

// The carrier is gone (lost sync): a reported slot says signal:none.
void end_presence(tessavox_state &state);
