// SPDX-License-Identifier: MIT
#include "burst_framing.h"

#include <array>
#include <bit>
#include <cstring>

#include "bits.h"
#include "control_fifo.h"
#include "data_burst.h"
#include "data_message.h"
#include "emb.h"
#include "embedded_lc.h"
#include "signal_presence.h"
#include "slot_decision.h"
#include "slot_metadata.h"
#include "symbol_distance.h"
#include "voice_confirmation.h"
#include "voice_output.h"

namespace {

constexpr int sync_symbols = 24;
constexpr int max_misses = 4;  // a fifth miss in a row loses sync

// The off-grid watch searches, after each burst at R, the windows starting
// at R - 22 .. R + 121: the last one ends at R + 144, the last symbol the
// burst loop is sure to hold, and the next burst's range takes over at
// (R + 144) - 22. So every phase but the grid's own is searched once.
constexpr int off_grid_first = -22;
constexpr int off_grid_last = dmr_slot_symbols - sync_symbols + 1;  // 121
// A candidate waits at most three timeslots for its confirmation, so that
// the burst it announced is still in the ring when the decoder moves there.
constexpr int candidate_lifetime = 3 * dmr_slot_symbols;

using pattern_table = std::array<std::array<uint8_t, sync_symbols>, 4>;

constexpr pattern_table make_patterns() {
    pattern_table t{};
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < sync_symbols; ++i)
            t[p][i] = static_cast<uint8_t>((dmr_sync_words[p] >> (2 * (sync_symbols - 1 - i))) & 3);
    return t;
}

constexpr pattern_table sync_patterns = make_patterns();

constexpr uint64_t dibit_window_mask = (uint64_t{1} << (2 * sync_symbols)) - 1;

// Whether the dibits of a window lie within 3 bits of a sync word.
bool near_a_sync_word(uint64_t dibits) {
    for (uint64_t word : dmr_sync_words)
        if (std::popcount(dibits ^ word) < sync_distance_limit) return true;
    return false;
}

// Step 1: sync, or the EMB of an embedded burst. Sets emb and reports
// whether the burst counts as a miss.
burst_kind classify_centre_field(tessavox_state &state, emb_fields &emb, bool &missed, int &pattern) {
    uint8_t centre[sync_symbols];
    ring_copy(state.ring, 0, centre, sync_symbols);
    missed = false;
    pattern = match_sync_pattern(centre);
    burst_kind kind = pattern < 0 ? burst_embedded : dmr_sync_kinds[pattern];
    if (kind != burst_embedded) {
        state.miss_count = 0;
        state.has_candidate = false;  // the grid shows its own sync: stay
        return kind;
    }
    emb = decode_emb(read_emb_word(state));
    if (emb.valid)
        state.miss_count = 0;
    else
        missed = true;
    return kind;
}

// Steps 4 to 6: the status line, the EMB and its fragment, the carriage return.
void write_status(tessavox_state &state, const slot_decision &d, const emb_fields &emb) {
    std::fprintf(state.err, "  slot: %i busy: %i, lcss: %i", d.slot, d.busy, d.lcss);
    if (emb.valid) {
        std::fprintf(state.err, " // EMB: CC: %i, LCSS: %i ", emb.colour_code, emb.lcss);
        uint8_t fragment[16];
        ring_copy(state.ring, 4, fragment, 16);
        collect_fragment(state, fragment, d.slot, emb.lcss);
        // Only the EMBs of a confirmed voice transmission tell its privacy
        // and colour code.
        if (state.slot_mode[d.slot] == slot_mode_voice) {
            note_emb_privacy(state, d.slot, emb.pi);
            note_colour_code(state, d.slot, emb.colour_code, true);
        }
    }
    std::fputc('\r', state.err);
}

// Step 7: the burst goes where its slot's mode sends it.
void dispatch_burst(tessavox_state &state, int slot) {
    uint8_t mode = state.slot_mode[slot];
    if (mode == slot_mode_voice) {
        note_carries(state, slot, presence_voice);
        output_voice_burst(state, slot);
        return;
    }
    release_voice_lock(state, slot);
    if (mode == slot_mode_data) handle_data_burst(state, slot);
}

}  // namespace

int match_sync_pattern(const uint8_t symbols[24]) {
    for (int p = 0; p < 4; ++p)
        if (symbol_distance(symbols, sync_patterns[p].data(), sync_symbols) < sync_distance_limit) return p;
    return -1;
}

burst_kind match_sync(const uint8_t symbols[24]) {
    const int p = match_sync_pattern(symbols);
    return p < 0 ? burst_embedded : dmr_sync_kinds[p];
}

bool search_sync(tessavox_state &state) {
    // The low two bits of the 24 window symbols as one 48-bit word, rolled
    // along with the read position. Bits above the dibit only add to a
    // byte's distance, so a window whose dibits are 4 or more bits from every
    // pattern cannot match; only the others are compared byte by byte.
    uint8_t window[sync_symbols];
    ring_copy(state.ring, 0, window, sync_symbols);
    uint64_t dibits = symbols_to_word(window, sync_symbols);
    while (ring_fill(state.ring) > sync_symbols) {
        if (near_a_sync_word(dibits)) {
            ring_copy(state.ring, 0, window, sync_symbols);
            if (match_sync(window) != burst_embedded) {
                state.synchronised = true;
                state.miss_count = 0;
                state.scanned_to = 0;
                state.has_candidate = false;
                return true;
            }
        }
        ring_advance(state.ring, 1);
        dibits = ((dibits << 2) | (ring_at(state.ring, sync_symbols - 1) & 3u)) & dibit_window_mask;
    }
    return false;
}

void lose_sync(tessavox_state &state) {
    std::fprintf(state.err, "lost sync at %i\n", state.ring.read_pos);
    state.slot_mode[0] = slot_mode_none;
    state.slot_mode[1] = slot_mode_none;
    state.last_slot = -1;
    state.slot_confidence = 0;
    std::memset(state.fragments, 0, sizeof state.fragments);
    std::memset(state.fragment_count, 0, sizeof state.fragment_count);
    for (int slot = 0; slot < 2; ++slot) {
        drop_held_voice(state, slot);
        state.voice_header[slot] = false;
        cut_data_message(state, slot, "lost_sync");
    }
    reset_slot_records(state);
    end_presence(state);
    state.synchronised = false;
}

bool process_burst(tessavox_state &state) {
    emb_fields emb;
    bool missed = false;
    int pattern = -1;
    burst_kind kind = classify_centre_field(state, emb, missed, pattern);
    if (missed) {
        if (state.miss_count >= max_misses) {
            ++state.miss_count;
            lose_sync(state);
            return false;
        }
        ++state.miss_count;
    }

    uint8_t cach[12];
    ring_copy(state.ring, -66, cach, 12);
    slot_decision d = decide_slot(state, cach);

    const int slot = d.slot;
    if (pattern >= 0) note_station(state, slot, pattern);
    if (holding_voice(state, slot)) {
        if (kind == burst_embedded && emb.valid)
            confirm_held_voice(state, slot);
        else if (kind != burst_embedded || held_voice_full(state, slot))
            drop_held_voice(state, slot);
    }
    if (kind == burst_voice_sync && state.slot_mode[slot] != slot_mode_voice && !voice_sync_confirmed(state, slot)) {
        hold_voice_burst(state, slot);  // the wait starts; the slot's mode stays
    } else if (kind != burst_embedded && state.slot_mode[slot] != kind) {
        change_slot_mode(state, slot, kind);
    }

    write_status(state, d, emb);
    if (holding_voice(state, slot)) {
        if (kind == burst_embedded) hold_voice_burst(state, slot);
    } else {
        dispatch_burst(state, slot);
    }
    return true;
}

bool watch_off_grid(tessavox_state &state) {
    int32_t first = state.scanned_to + 1 > off_grid_first ? state.scanned_to + 1 : off_grid_first;
    if (first > off_grid_last) return false;
    uint8_t window[sync_symbols];
    ring_copy(state.ring, first, window, sync_symbols);
    uint64_t dibits = symbols_to_word(window, sync_symbols);
    for (int32_t k = first; k <= off_grid_last; ++k) {
        if (k > first) dibits = ((dibits << 2) | (ring_at(state.ring, k + sync_symbols - 1) & 3u)) & dibit_window_mask;
        if (k == 0 || !near_a_sync_word(dibits)) continue;
        ring_copy(state.ring, k, window, sync_symbols);
        if (match_sync(window) == burst_embedded) continue;
        state.scanned_to = k;
        if (state.has_candidate && k != state.candidate_offset &&
            ring_mod(k - state.candidate_offset, dmr_slot_symbols) == 0) {
            return move_to_candidate(state);
        }
        state.has_candidate = true;  // the first, or a newer one on another phase
        state.candidate_offset = k;
    }
    state.scanned_to = off_grid_last;
    return false;
}

bool move_to_candidate(tessavox_state &state) {
    int32_t target = state.candidate_offset;
    int32_t scanned = state.scanned_to;
    // The candidate burst's CACH must still be in the ring.
    if (ring_fill(state.ring) - target + 66 >= tessavox_ring_size) {
        state.has_candidate = false;
        return false;
    }
    lose_sync(state);
    ring_advance(state.ring, target);
    state.synchronised = true;
    state.miss_count = 0;
    state.scanned_to = scanned - target;
    state.has_candidate = false;
    return true;
}

void run_burst_loop(tessavox_state &state) {
    while (state.synchronised && ring_fill(state.ring) > dmr_slot_symbols) {
        if (!process_burst(state)) return;
        if (watch_off_grid(state)) continue;
        ring_advance(state.ring, dmr_slot_symbols);
        state.scanned_to -= dmr_slot_symbols;
        state.candidate_offset -= dmr_slot_symbols;
        if (state.has_candidate && state.candidate_offset < -candidate_lifetime) state.has_candidate = false;
    }
}

void process_input_block(tessavox_state &state, const uint8_t *block, std::size_t count) {
    while (count > 0) {
        int32_t n =
            count > static_cast<std::size_t>(tessavox_block_size) ? tessavox_block_size : static_cast<int32_t>(count);
        ring_append(state.ring, block, n);
        block += n;
        count -= static_cast<std::size_t>(n);
        if (!state.synchronised) search_sync(state);
        if (state.synchronised) run_burst_loop(state);
        poll_control(state);
    }
}
