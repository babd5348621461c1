// SPDX-License-Identifier: MIT
// orbavox's stream logic on arbitrary symbol bytes. The first byte picks the
// read size (1..128 symbols per block); the rest is the symbol stream. The
// codec frame stream it writes must be whole tagged records of the three
// known kinds, and the metadata lines.

#include <cstddef>
#include <cstdint>

#include "codec_frame.h"
#include "fuzz_support.h"
#include "orbavox.h"

namespace {

orbavox_state state;

bool whole_records(std::string_view stream) {
    std::size_t at = 0;
    while (at < stream.size()) {
        const int size = codec_frame_size(static_cast<uint8_t>(stream[at]));
        if (size == 0) return false;
        at += 1 + static_cast<std::size_t>(size);
    }
    return at == stream.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block = data[0] % orbavox_block_symbols + 1u;
    ++data;
    --size;

    memory_stream voice;
    memory_stream meta;
    state = orbavox_state{};
    orbavox_streams io;
    io.out = voice.file;
    io.err = null_stream();
    io.fifo.stream = meta.file;

    for (std::size_t at = 0; at < size; at += block) {
        const std::size_t n = size - at < block ? size - at : block;
        orbavox_process_block(state, data + at, n, io);
    }

    if (!whole_records(voice.bytes())) fuzz_fail("codec frame stream is not whole tagged records");
    // Call signs may hold any byte, a newline too: only the ends are certain.
    const std::string_view lines = meta.bytes();
    if (!lines.empty() && (lines.substr(0, 13) != "protocol:YSF;" || lines.back() != '\n'))
        fuzz_fail("metadata is not whole lines");
    return 0;
}
