// SPDX-License-Identifier: MIT
#include "signal_presence.h"

#include <cstdio>

#include "tessavox_state.h"

namespace {

void send(tessavox_state &state, int slot) {
    const slot_presence &p = state.presence[slot];
    if (!state.report_presence || !p.station[0] || p.colour_code < 0) return;
    char line[128];
    int n = std::snprintf(line, sizeof line, "protocol:DMR;slot:%i;signal:%s;", slot, p.station);
    if (p.colour_code >= 0) n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "cc:%i;", p.colour_code);
    if (p.carries[0]) n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "carries:%s;", p.carries);
    n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "\n");
    state.presence[slot].reported = true;
    send_dmr_event_line(state.meta, static_cast<uint8_t>(slot), line, n);
}

}  // namespace

void note_station(tessavox_state &state, int slot, int pattern) {
    slot_presence &p = state.presence[slot];
    const char *station = pattern >= 2 ? presence_ms : presence_bs;
    if (p.station == station) return;
    p.station = station;
    send(state, slot);
}

void note_colour_code(tessavox_state &state, int slot, int colour_code, bool checked) {
    slot_presence &p = state.presence[slot];
    if (!checked) {
        if (p.colour_code == colour_code) return;
        if (p.colour_candidate != colour_code) {
            p.colour_candidate = colour_code;
            p.colour_count = 0;
        }
        if (++p.colour_count < 3) return;
    }
    p.colour_candidate = -1;
    p.colour_count = 0;
    if (p.colour_code == colour_code) return;
    p.colour_code = colour_code;
    send(state, slot);
}

void note_carries(tessavox_state &state, int slot, const char *what) {
    slot_presence &p = state.presence[slot];
    if (p.carries == what) {
        p.candidate = "";
        return;
    }
    if (what != presence_voice && p.candidate != what) {
        p.candidate = what;
        return;
    }
    p.candidate = "";
    p.carries = what;
    send(state, slot);
}

void end_presence(tessavox_state &state) {
    for (int slot = 0; slot < 2; ++slot) {
        const bool reported = state.presence[slot].reported;
        state.presence[slot] = slot_presence{};
        if (!reported || !state.report_presence) continue;
        char line[64];
        const int n = std::snprintf(line, sizeof line, "protocol:DMR;slot:%i;signal:none;\n", slot);
        send_dmr_event_line(state.meta, static_cast<uint8_t>(slot), line, n);
    }
}
