// SPDX-License-Identifier: MIT
#pragma once
// The whole state of the DMR decoder: the symbol ring and burst grid, the
// slot assignment, the per-slot modes, records and fragment buffers, the
// voice lock and slot filter, and the streams it writes to. main owns one
// static instance; tests create fresh ones and bind the streams to memory.

#include <cstdint>
#include <cstdio>

#include "data_message.h"
#include "metadata.h"
#include "signal_presence.h"
#include "symbol_ring.h"

// Symbols delivered by one read of standard input.
inline constexpr int tessavox_block_size = 128;
inline constexpr int tessavox_ring_size = 1024;
// One time slot on the channel: 12 CACH symbols and a 132-symbol burst.
inline constexpr int dmr_slot_symbols = 144;
// Bytes asked for by one read of the control fifo.
inline constexpr int control_buffer_size = 32;
// Longest control line kept; a longer one is dropped whole.
inline constexpr int control_line_limit = 32;

// What a slot carries, from the kind of its last sync burst.
enum slot_mode_value : uint8_t {
    slot_mode_none = 0,
    slot_mode_data = 1,
    slot_mode_voice = 2,
};

// The talker alias of a slot as it arrives in the embedded LC: the seven
// data bytes (b2..b8) of the header and of each of the three blocks.
struct talker_alias_assembly {
    uint8_t header[7] = {};
    uint8_t blocks[3][7] = {};
    uint8_t present = 0;  // bit 0 the header, bit k block k
};

// Voice bursts of a slot held until the voice burst's structure confirms
// them. A voice sync alone proves nothing: the inverted data sync of a base
// or mobile station is its voice sync. The bursts that follow a real voice
// sync carry a valid EMB; inverted data bursts never do.
inline constexpr int held_voice_limit = 6;  // burst A and the five of its superframe
struct held_voice {
    int bursts = 0;                     // 0: nothing held
    int lock_before = -1;               // the voice lock before the first held burst
    bool write[held_voice_limit] = {};  // the burst passed the filter and the lock
    uint8_t frames[held_voice_limit][36] = {};
};

struct tessavox_state {
    // Streams: voice units, diagnostics, metadata lines, control messages.
    FILE *out = stdout;
    FILE *err = stderr;
    metadata_fifo meta;
    FILE *control = nullptr;
    uint8_t control_buffer[control_buffer_size] = {};
    // The control line read so far, across reads, and whether it has grown
    // past control_line_limit (then it is skipped up to its newline).
    uint8_t control_line[control_line_limit] = {};
    int control_line_length = 0;
    bool control_line_overlong = false;
    // Set when a flush of out failed because its reader has gone away.
    bool output_gone = false;

    // Framing. While synchronised the read position is the first symbol of
    // the centre field of the next burst.
    symbol_ring<uint8_t, tessavox_ring_size> ring;
    bool synchronised = false;
    int32_t miss_count = 0;  // consecutive bursts with neither sync nor valid EMB

    // The watch for a transmission on another grid while synchronised, as
    // offsets from the read position: the last window start already
    // searched for a sync pattern, and the first off-grid sync pattern found
    // since the grid last showed one of its own (the candidate).
    int32_t scanned_to = 0;
    bool has_candidate = false;
    int32_t candidate_offset = 0;

    // Slot assignment from the CACH.
    int last_slot = -1;       // slot of the previous burst, -1 none
    int slot_confidence = 0;  // bursts in a row whose TC followed the alternation, up to 100

    uint8_t slot_mode[2] = {slot_mode_none, slot_mode_none};

    // Voice output: the slot holding the voice lock (-1 none) and the mask of
    // slots whose voice may pass (bit 0 slot 0, bit 1 slot 1).
    int voice_slot = -1;
    uint8_t slot_filter = 3;

    // Embedded signalling: four 32-bit fragments per slot and their count.
    uint8_t fragments[2][16] = {};
    uint8_t fragment_count[2] = {};

    // Talker alias parts received so far in each slot's call.
    talker_alias_assembly aliases[2];

    slot_record records[2];

    // Voice waiting for confirmation, and whether the slot's last data burst
    // was a voice LC header whose Reed-Solomon check passed (a voice sync
    // right after it is a call's first burst A).
    held_voice held[2];
    bool voice_header[2] = {};

    // Data messages being reassembled, and the count of messages dropped
    // (a lost block, a failed check) on the channel.
    data_assembly assembly[2];
    uint32_t data_failures = 0;

    // Privacy of each slot's call: the voice LC's privacy service option,
    // and the numbers of valid EMBs of the call with their PI bit set and
    // clear.
    bool lc_privacy[2] = {};
    int emb_privacy[2] = {};
    int emb_clear[2] = {};

    // What each slot shows of its station, and whether its lines are sent
    // (--presence; off by default, so that the metadata of a plain voice
    // channel stays as it was).
    slot_presence presence[2];
    bool report_presence = false;
};
