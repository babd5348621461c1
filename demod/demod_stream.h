// SPDX-License-Identifier: MIT
#pragma once
// The stream side shared by the demodulator programs: float baseband from
// standard input in blocks, the symbol or bit bytes the demodulator takes
// from each block to standard output, flushed at once.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "tool_frame.h"

// Gives standard input and output static buffers so that nothing is
// allocated: a large input buffer takes whatever the pipe holds in one read,
// while fread still returns each block as soon as it is complete. Call before
// anything is read or written.
void use_static_stream_buffers();

// Reads blocks of BlockSize samples until end of input and hands each to
// demodulate(state, block, count, out), which returns how many bytes (at most
// MaxOut) it wrote to out; those are written and flushed before the next read.
template <typename State, int32_t BlockSize, int32_t MaxOut>
void run_demodulator(State &state, int32_t (*demodulate)(State &, const float *, int32_t, uint8_t *)) {
    static float block[BlockSize];
    static uint8_t out[MaxOut];
    run_stream_loop(block, sizeof block[0], BlockSize, [&](std::size_t n) {
        const int32_t produced = demodulate(state, block, static_cast<int32_t>(n), out);
        std::fwrite(out, 1, static_cast<std::size_t>(produced), stdout);
        flush_output();
    });
}
