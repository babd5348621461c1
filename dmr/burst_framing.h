// SPDX-License-Identifier: MIT
#pragma once
// Burst framing: the search for a sync pattern, the grid of one burst every
// 144 symbols that follows it, the handling of each burst in its fixed order
// of steps, and the loss of sync after the fifth burst in a row with neither
// sync nor a valid EMB.
//
// Relative to the read position R (the first symbol of a burst's centre
// field) a burst occupies:
//   CACH                 R-66 .. R-55   12 symbols
//   first payload half   R-54 .. R-1    54 symbols
//   centre field         R    .. R+23   24 symbols (sync, or EMB + fragment)
//   second payload half  R+24 .. R+77   54 symbols
// The next burst's centre field starts at R+144.

#include <cstddef>
#include <cstdint>

#include "tessavox_state.h"

// What a burst's centre field carries.
enum burst_kind : uint8_t {
    burst_embedded = 0,  // no sync: EMB and an embedded-signalling fragment
    burst_data_sync = slot_mode_data,
    burst_voice_sync = slot_mode_voice,
};

// The four DMR sync patterns as 48-bit words, in checking order: base
// station data and voice, mobile station data and voice (ETSI TS 102 361-1).
inline constexpr uint64_t dmr_sync_words[4] = {0xDFF57D75DF5D, 0x755FD7DF75F7, 0xD5D7F77FD757, 0x7F7D5DD57DFD};
inline constexpr burst_kind dmr_sync_kinds[4] = {burst_data_sync, burst_voice_sync, burst_data_sync, burst_voice_sync};

// The kind announced by the first sync pattern within 3 bits of the 24
// symbols, or burst_embedded if none is.
burst_kind match_sync(const uint8_t symbols[24]);

// The index (0..3, in dmr_sync_words) of the first sync pattern within 3
// bits of the 24 symbols, or -1.
int match_sync_pattern(const uint8_t symbols[24]);

// Slides the read position one symbol at a time while more than 24 symbols
// are unread, until a sync pattern is found (true, synchronised) or too few
// symbols remain (false).
bool search_sync(tessavox_state &state);

// Processes bursts while more than 144 symbols are unread, stepping the
// read position by 144; stops early when sync is lost. After each burst it
// watches the other phases for a new transmission (watch_off_grid).
void run_burst_loop(tessavox_state &state);

// The watch for a transmission on another grid, run after each burst: the
// window starts not yet searched up to 121 symbols ahead are compared with
// the sync patterns. The first off-grid match becomes the candidate; a
// second match on the candidate's phase within three timeslots, with no
// sync of the current grid in between, confirms it: the current grid is
// given up as on lost sync and the read position moves back to the
// candidate, whose burst is processed next (true). The grid's own sync
// clears the candidate, and so a call on the grid is never left for a
// stray match.
bool watch_off_grid(tessavox_state &state);

// Gives up the current grid for the candidate's: lost-sync reset, then the
// read position at the candidate, synchronised (true). False, dropping the
// candidate, if its burst is no longer whole in the ring.
bool move_to_candidate(tessavox_state &state);

// Processes the burst at the read position. Returns false if it was the
// fifth miss in a row: sync is then lost and the burst is dropped.
bool process_burst(tessavox_state &state);

// The fifth miss: reports it, resets slot modes, slot assignment, fragments
// and slot records, and returns to searching from the same read position.
void lose_sync(tessavox_state &state);

// Processes one input block of any bytes (symbols outside 0..3 included):
// appends it to the ring in pieces of at most 128 symbols, runs the search
// and the burst loop after each piece, and polls the control fifo.
void process_input_block(tessavox_state &state, const uint8_t *block, std::size_t count);
