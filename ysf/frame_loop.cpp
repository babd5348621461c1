// SPDX-License-Identifier: MIT
// The frame-level decoder: sync search, the 480-symbol frame loop with its
// miss count, and the dispatch of each frame on its FICH.

#include <cstring>

#include "data_handlers.h"
#include "orbavox.h"
#include "symbol_distance.h"
#include "voice_channel.h"

namespace {

// Frames in a row with neither a matching sync nor a decoded FICH after
// which sync is lost.
constexpr int32_t misses_to_lose_sync = 12;

bool sync_at_read_position(const ysf_ring &ring) {
    uint8_t window[ysf_sync_symbols];
    ring_copy(ring, 0, window, ysf_sync_symbols);
    return symbol_distance(window, ysf_sync_pattern, ysf_sync_symbols) < sync_distance_limit;
}

// Moves the read position symbol by symbol until a sync pattern starts
// there; false when too few symbols are left to look further.
bool search(orbavox_state &state) {
    while (ring_fill(state.ring) > ysf_sync_symbols) {
        if (sync_at_read_position(state.ring)) {
            state.synced = true;
            state.miss_count = 0;
            return true;
        }
        ring_advance(state.ring, 1);
    }
    return false;
}

void lose_sync(orbavox_state &state, const orbavox_streams &io) {
    std::fprintf(io.err, "lost sync at %i\n", state.ring.read_pos);
    reset_ysf_record(state.record);
    send_ysf_metadata(io.fifo, state.record);
    state.has_fich = false;
    state.synced = false;
}

void set_mode(ysf_record &record, const char *mode) { std::memcpy(record.mode, mode, 2); }

void dispatch(orbavox_state &state, const orbavox_streams &io) {
    const fich_record &fich = state.fich;
    switch (fich.FI) {
        case fich_fi_header:
            reset_ysf_record(state.record);
            handle_header(state, io);
            state.header_flag = true;
            break;
        case fich_fi_communication:
            if (fich.DT == fich_dt_vd_mode1) {
                set_mode(state.record, "V1");
                send_ysf_metadata(io.fifo, state.record);
                voice_vd_mode1(state.ring, io.out);
                handle_mode1_data(state, io);
            } else if (fich.DT == fich_dt_vd_mode2) {
                set_mode(state.record, "DN");
                send_ysf_metadata(io.fifo, state.record);
                voice_vd_mode2(state.ring, io.out);
                handle_mode2_data(state, io);
            } else if (fich.DT == fich_dt_voice_full_rate) {
                set_mode(state.record, "VW");
                send_ysf_metadata(io.fifo, state.record);
                voice_full_rate(state.ring, state.header_flag, io.out);
            }
            // Data full-rate frames are not decoded.
            break;
        case fich_fi_terminator:
            reset_ysf_record(state.record);
            send_ysf_metadata(io.fifo, state.record);
            break;
        default:
            break;
    }
}

// What handling a frame leaves the decoder to do next.
enum class frame_outcome {
    followed,  // on to the next grid frame
    missed,    // neither sync nor FICH: look for a sync off the grid first
    ended,     // a terminator: search afresh from the next frame
    lost,      // twelve misses: sync lost, search after the next block
};

// Handles the frame at the read position.
frame_outcome handle_frame(orbavox_state &state, const orbavox_streams &io) {
    if (sync_at_read_position(state.ring))
        state.miss_count = 0;
    else
        ++state.miss_count;
    if (state.miss_count >= misses_to_lose_sync) {
        lose_sync(state, io);
        return frame_outcome::lost;
    }

    fich_record fich;
    state.frame_fich_decoded = decode_fich(state.ring, fich, io.err);
    if (state.frame_fich_decoded) {
        state.fich = fich;
        state.has_fich = true;
        state.miss_count = 0;
    }
    // A frame with a damaged FICH is handled as the last one that decoded.
    if (state.has_fich) dispatch(state, io);
    if (state.frame_fich_decoded && fich.FI == fich_fi_terminator) return frame_outcome::ended;
    return state.miss_count > 0 ? frame_outcome::missed : frame_outcome::followed;
}

// Between a missed frame and the grid's next frame start, a sync at any
// other position is a new transmission at another phase (a reply whose
// start would otherwise be lost while the old grid runs out its twelve
// misses): the old grid ends as on lost sync, and the sync found becomes
// the frame start. False when too few symbols are left to look further.
bool hunt(orbavox_state &state, const orbavox_streams &io) {
    while (state.hunt_left > 0) {
        if (ring_fill(state.ring) <= ysf_sync_symbols) return false;
        if (sync_at_read_position(state.ring)) {
            std::fprintf(io.err, "lost sync at %i\n", state.missed_at);
            reset_ysf_record(state.record);
            send_ysf_metadata(io.fifo, state.record);
            state.has_fich = false;
            state.miss_count = 0;
            break;
        }
        ring_advance(state.ring, 1);
        --state.hunt_left;
    }
    state.hunting = false;
    return true;
}

void consume(orbavox_state &state, const orbavox_streams &io) {
    for (;;) {
        if (!state.synced) {
            if (!search(state)) return;
        } else if (state.hunting && !hunt(state, io)) {
            return;
        }
        // A frame is handled once the symbol after it has arrived.
        if (ring_fill(state.ring) <= ysf_frame_symbols) return;
        switch (handle_frame(state, io)) {
            case frame_outcome::followed:
                ring_advance(state.ring, ysf_frame_symbols);
                break;
            case frame_outcome::missed:
                state.hunting = true;
                state.hunt_left = ysf_frame_symbols - 1;
                state.missed_at = state.ring.read_pos;
                ring_advance(state.ring, 1);
                break;
            case frame_outcome::ended:
                ring_advance(state.ring, ysf_frame_symbols);
                state.synced = false;
                break;
            case frame_outcome::lost:
                return;
        }
    }
}

}  // namespace

void orbavox_process_block(orbavox_state &state, const uint8_t *block, size_t count, const orbavox_streams &io) {
    // Appending at most one read's worth before consuming keeps the ring's
    // fill far below its size, whatever the caller hands in.
    while (count > 0) {
        int32_t piece = count < orbavox_block_symbols ? static_cast<int32_t>(count) : orbavox_block_symbols;
        ring_append(state.ring, block, piece);
        consume(state, io);
        block += piece;
        count -= static_cast<size_t>(piece);
    }
}
