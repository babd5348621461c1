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

// The header's sync, the first of a transmission, is where the demodulator
// is still settling: after a gap its levels and symbol clock come from the
// noise or the silence before, and the first symbols it decides can be
// wrong while those after them are right. Missing that sync loses the
// header and its call signs. A sync within settling_sync_limit bits of the
// pattern is therefore taken as a frame start too, when the FICH behind it
// decodes (Golay words and CRC) as a header's and the next frame's sync,
// 480 symbols on, matches as usual: together far less likely in noise than
// a sync within 3 bits. Any other frame still needs its sync within 3 bits
// to be found: the next one's follows 480 symbols later.
constexpr int32_t settling_sync_limit = 16;

int32_t sync_distance_at(const ysf_ring &ring, int32_t offset) {
    uint8_t window[ysf_sync_symbols];
    ring_copy(ring, offset, window, ysf_sync_symbols);
    return symbol_distance(window, ysf_sync_pattern, ysf_sync_symbols);
}

bool sync_at_read_position(const ysf_ring &ring) { return sync_distance_at(ring, 0) < sync_distance_limit; }

enum class frame_start {
    no,    // no frame starts at the read position
    yes,   // a frame starts there
    wait,  // too few symbols to tell: look again after the next block
};

// Whether a frame starts at the read position: a sync within 3 bits, or a
// header's damaged one as above. The next frame's sync is looked at first:
// in noise, one position in thirteen lies within settling_sync_limit bits of
// the pattern, and the FICH is decoded only where the next sync matches.
// Until 500 symbols from the read position are in, the answer waits for the
// next block; at the end of the input (input_ended) a damaged sync is taken
// for none, so that the frames after it are still handled.
frame_start frame_start_at_read_position(const ysf_ring &ring, bool input_ended) {
    const int32_t distance = sync_distance_at(ring, 0);
    if (distance < sync_distance_limit) return frame_start::yes;
    if (distance >= settling_sync_limit) return frame_start::no;
    if (ring_fill(ring) < ysf_frame_symbols + ysf_sync_symbols)
        return input_ended ? frame_start::no : frame_start::wait;
    if (sync_distance_at(ring, ysf_frame_symbols) >= sync_distance_limit) return frame_start::no;
    fich_record fich;
    return decode_fich(ring, fich, nullptr) && fich.FI == fich_fi_header ? frame_start::yes : frame_start::no;
}

// Moves the read position symbol by symbol until a frame starts there;
// false when too few symbols are left to look further.
bool search(orbavox_state &state) {
    while (ring_fill(state.ring) > ysf_sync_symbols) {
        const frame_start found = frame_start_at_read_position(state.ring, state.input_ended);
        if (found == frame_start::wait) return false;
        if (found == frame_start::yes) {
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
        const frame_start found = frame_start_at_read_position(state.ring, state.input_ended);
        if (found == frame_start::wait) return false;
        if (found == frame_start::yes) {
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

void orbavox_finish(orbavox_state &state, const orbavox_streams &io) {
    state.input_ended = true;
    consume(state, io);
}

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
