#pragma once
// The control fifo: a display writes one-character messages ("0\n" .. "3\n")
// that set the slot filter, the mask of slots whose voice is written.

#include "tessavox_state.h"

// Handles one -c FILE: writes "control fifo: FILE\n" to state.err, opens
// FILE for reading (a named pipe waits for its writer) and makes its reads
// non-blocking. If it cannot be opened, says so on state.err and goes on
// without control input. A later -c replaces an earlier one.
void open_control_fifo(tessavox_state &state, const char *path);

// Reads what the control fifo holds without waiting: while a read of up to 32
// bytes returns 2 or more, a newline as second byte makes the first byte
// minus '0' the new slot filter. Nothing happens without a control fifo.
void poll_control(tessavox_state &state);
