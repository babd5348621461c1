// SPDX-License-Identifier: MIT
#pragma once
// The control fifo: a display writes one-character lines ("0\n" .. "3\n")
// that set the slot filter, the mask of slots whose voice is written.

#include "tessavox_state.h"

// Handles one -c FILE: writes "control fifo: FILE\n" to state.err and opens
// FILE for reading without blocking, so that a named pipe with no writer yet
// neither holds up the start nor any later read. If it cannot be opened (or
// is a directory), says so on state.err and goes on without control input.
// A later -c replaces an earlier one.
void open_control_fifo(tessavox_state &state, const char *path);

// Reads what the control fifo holds without waiting and splits it into lines
// across reads. A line that is one of the characters 0..3 (a CR before the
// newline is allowed) sets the slot filter to that mask; any other line is
// ignored. A line longer than control_line_limit is dropped whole, and a
// partial line is dropped when the writers close the fifo. A slot that the
// new filter excludes gives up the voice lock. Nothing happens without a
// control fifo.
void poll_control(tessavox_state &state);

// Applies one complete control line (without its newline).
void apply_control_line(tessavox_state &state, const uint8_t *line, int length);
