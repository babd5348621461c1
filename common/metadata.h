// SPDX-License-Identifier: MIT
#pragma once
// The metadata channel of the two digital-voice decoders: one-line text
// records ("key:value;" fields after the protocol field, then a newline) sent
// to the file named with -f/--fifo, normally a named pipe that a display
// reads.
//
// The decoders never wait for the display: the fifo's descriptor is written
// without blocking. Each line repeats the whole state of its DMR slot or of
// the System Fusion transmission, so while the fifo is full only the newest
// line of each is kept and written as soon as there is room (at the next line
// sent or the next input block). Lines never interleave: a line the fifo took
// only in part is completed before any other line goes out.

#include <cstdint>
#include <cstdio>

// Whose state a line tells: DMR slot 0, DMR slot 1, or the System Fusion
// transmission; and the event lines of DMR slot 0 and slot 1 (a CSBK, a data
// message). Each keeps its own pending line.
inline constexpr int metadata_line_owners = 5;
inline constexpr int metadata_ysf_owner = 2;
inline constexpr int metadata_dmr_event_owner = 3;  // + slot

// Longest line the fifo takes, newline included (event lines with a data
// message's payload are the long ones; slot and System Fusion lines stay
// under 256 bytes).
inline constexpr int metadata_line_limit = 1024;

// The lines not written yet. A pending line replaces the older pending line
// of its owner; pending lines go out oldest first. The partial line is one
// the fifo took in part: the rest of it goes before anything else.
struct metadata_backlog {
    char pending[metadata_line_owners][metadata_line_limit] = {};
    int pending_length[metadata_line_owners] = {};  // 0: nothing pending
    uint32_t pending_order[metadata_line_owners] = {};
    uint32_t next_order = 0;
    char partial[metadata_line_limit] = {};
    int partial_length = 0;   // 0: no partial line
    int partial_written = 0;  // bytes of it the fifo has taken
};

// The metadata fifo: the stream opened by -f, or none (null). A stream with a
// descriptor is written with write(2) through the backlog; a stream without
// one (a memory stream in tests) with fwrite and fflush. The backlog is the
// writers' own bookkeeping, kept up by the const writers below.
struct metadata_fifo {
    FILE *stream = nullptr;
    mutable metadata_backlog backlog;
};

// Handles one -f FILE: writes "meta fifo: FILE\n" to err, then opens FILE for
// writing (a named pipe waits for its reader) and makes its writes
// non-blocking. A failed open (a missing folder, a directory, an empty name)
// writes "cannot open metadata fifo FILE; going on without metadata\n" and
// leaves no metadata fifo. A later -f replaces the stream; the earlier one
// stays open and receives nothing more.
void open_metadata_fifo(metadata_fifo &fifo, const char *path, FILE *err = stderr);

// Writes the pending lines, oldest first, as far as the fifo has room; the
// decoders call it once per input block, so that a reader that has caught up
// or come back gets the current state even when no new line is sent.
void send_pending_metadata(const metadata_fifo &fifo);

// Sends an event line of a DMR slot (composed by the decoder, newline
// included, at most metadata_line_limit - 1 bytes; a longer one is cut). An
// event line does not replace the slot's state line; while the fifo is full
// only the newest event line of each slot waits.
void send_dmr_event_line(const metadata_fifo &fifo, uint8_t slot, const char *line, int length);

// Constant texts a slot record refers to.
inline constexpr const char slot_sync_voice[] = "voice";
inline constexpr const char slot_sync_data[] = "data";
inline constexpr const char slot_type_group[] = "group";
inline constexpr const char slot_type_direct[] = "direct";

// Room for a talker alias as UTF-8 with its terminating zero: 217 bits of
// alias data give at most 54 bytes of UTF-8.
inline constexpr int slot_alias_size = 64;

// What is known of one DMR time slot. The texts are empty ("") or one of the
// constants above; source and target are 0 when unknown. alias is the
// caller's talker alias as UTF-8, zero-terminated, empty when unknown;
// latitude and longitude (degrees, north and east positive) count only with
// has_position.
struct slot_record {
    const char *sync = "";
    const char *type = "";
    int32_t source = 0;
    int32_t target = 0;
    char alias[slot_alias_size] = {};
    bool has_position = false;
    double latitude = 0.0;
    double longitude = 0.0;
    // The call's privacy and service options, each only from a word whose
    // check passed: encrypted (privacy service option, PI header, or the
    // EMB's PI bit in two EMBs of the call), the PI header's algorithm and
    // key id (with has_pi_header), emergency, broadcast, open voice call
    // mode and priority (0..3) from the voice LC's service options.
    bool encrypted = false;
    bool has_pi_header = false;
    int algorithm = 0;
    int key_id = 0;
    bool emergency = false;
    bool broadcast = false;
    bool open_voice_call_mode = false;
    int priority = 0;
};

// Clears the record: empty texts, source and target 0, no alias, no
// position, no privacy or service options. Writes nothing.
void reset_slot_record(slot_record &record);

// Clears only the privacy and service options of the record.
void clear_call_options(slot_record &record);

// Writes "protocol:DMR;slot:S;" followed by sync, type, source, target,
// alias and position ("lat:%.6f;lon:%.6f;"), then "encrypted:1;",
// "algorithm:N;key_id:N;" (PI header), "emergency:1;", "broadcast:1;",
// "ovcm:1;" and "priority:N;" (N 1..3), each only when known or set, and a
// newline; the alias is escaped so that it stays one field. Nothing happens
// without a fifo.
void send_slot_metadata(const metadata_fifo &fifo, const slot_record &record, uint8_t slot);

// What is known of the System Fusion transmission being followed. Text fields
// are stored as received, not zero-terminated; a first byte 0 means unknown
// and a zero byte ends the text early.
struct ysf_record {
    char mode[2] = {};
    char target[10] = {};
    char source[10] = {};
    char down[10] = {};
    char up[10] = {};
    bool has_position = false;
    float latitude = 0.0f;
    float longitude = 0.0f;
    const char *radio = nullptr;  // constant model name, or none
};

// Clears every text field, drops the position and the radio. Writes nothing.
void reset_ysf_record(ysf_record &record);

// Writes "protocol:YSF;" followed by mode, source, target, up, down, position
// and radio, each only when known, and a newline. Nothing happens without a
// fifo.
void send_ysf_metadata(const metadata_fifo &fifo, const ysf_record &record);

// The line send_slot_metadata writes, composed into line (256 bytes);
// returns its length without the terminating zero.
int compose_slot_line(char line[256], const slot_record &record, uint8_t slot);

// The line send_ysf_metadata writes, composed into line (256 bytes);
// returns its length without the terminating zero.
int compose_ysf_line(char line[256], const ysf_record &record);
