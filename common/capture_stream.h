// SPDX-License-Identifier: MIT
#pragma once
// The output side of a decoder run in-process. The decoders write their
// output units, metadata lines and diagnostics to stdio streams, which a
// program binds to its standard streams and its fifo; a caller that runs a
// decoder inside its own process binds them instead to a capture stream,
// whose every flushed unit is handed to a function in memory.

#include <cstddef>
#include <cstdio>

// Receives the bytes of one flush: a whole output unit or line, as the
// decoder wrote it between two flushes (a unit longer than the stream's
// buffer of capture_buffer_bytes arrives in pieces).
using capture_function = void (*)(void *context, const char *data, size_t size);

inline constexpr size_t capture_buffer_bytes = 4096;

// A fully buffered stream whose flushes go to take(context, ...); with a
// null take, everything written is dropped (diagnostics nobody reads). Null
// if the system refuses a stream. Close it with fclose.
FILE *open_capture_stream(capture_function take, void *context);
