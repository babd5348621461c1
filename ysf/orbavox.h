// SPDX-License-Identifier: MIT
#pragma once
// orbavox: the System Fusion decoder. It follows the frames of the
// four-level symbol stream, writes the voice of all three voice modes as
// tagged codec frame records, and reports mode, call signs, radio model and
// position as metadata lines.
//
// All decoder state lives in one orbavox_state that the caller owns (main
// keeps one static instance); all output goes through the streams of an
// orbavox_streams.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fich.h"
#include "metadata.h"
#include "ysf_frame.h"

// Where the decoder writes: codec frame records, diagnostics, metadata.
struct orbavox_streams {
    FILE *out = stdout;
    FILE *err = stderr;
    metadata_fifo fifo;  // no stream: no metadata
};

// Collection of the radio data block from frames 6 and 7 of V/D mode 2.
inline constexpr uint8_t radio_block_waiting = 5;   // waiting for frame 6
inline constexpr uint8_t radio_block_half = 6;      // frame 6 stored
inline constexpr uint8_t radio_block_complete = 7;  // frame 7 stored
inline constexpr int radio_block_bytes = 20;

struct orbavox_state {
    ysf_ring ring;
    bool synced = false;              // following frames (else searching)
    int32_t miss_count = 0;           // frames in a row with neither sync nor FICH, 0..12
    bool has_fich = false;            // a current FICH exists
    fich_record fich;                 // the most recently decoded FICH
    bool frame_fich_decoded = false;  // the frame being handled has its own FICH
    bool header_flag = false;         // a header came since the last voice full-rate frame
    // After a missed frame (neither sync nor FICH), the positions up to the
    // grid's next frame start are searched for a sync off the grid.
    bool hunting = false;
    int32_t hunt_left = 0;     // positions still to look at before the next grid frame
    int32_t missed_at = 0;     // ring index of the missed frame
    bool input_ended = false;  // orbavox_finish was called: no more symbols to wait for
    uint8_t block_state = radio_block_waiting;
    uint8_t radio_block[radio_block_bytes] = {};
    ysf_record record;
};

// The most symbols appended to the ring before it is consumed; larger
// blocks are taken in pieces of this size.
inline constexpr int32_t orbavox_block_symbols = 128;

// Takes one block of symbol bytes (any values, any count) and runs the
// decoder over it: appends to the ring, searches for a frame start, and
// handles every frame that is complete with the symbol after it.
void orbavox_process_block(orbavox_state &state, const uint8_t *block, size_t count, const orbavox_streams &io);

// The end of the input: handles what the symbols already in the ring
// complete without waiting for more (a damaged header sync whose next frame
// is not in counts as none).
void orbavox_finish(orbavox_state &state, const orbavox_streams &io);
