// SPDX-License-Identifier: MIT
// tessavox's stream logic on symbol blocks and control messages together.
//
// The input is a sequence of records, each one tag byte and its payload:
//   tag 0x00..0x7F: a symbol block of tag + 1 bytes (any values), processed
//                   as one read of standard input;
//   tag 0x80..0xFF: (tag & 0x3F) + 1 bytes written to the control fifo,
//                   read by the decoder at its next poll.
// A cut-short last record keeps the bytes that are there. The control fifo
// is a non-blocking pipe, as main opens it.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "burst_framing.h"
#include "codec_frame.h"
#include "fuzz_support.h"

namespace {

tessavox_state state;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);

    memory_stream voice;
    memory_stream meta;
    state = tessavox_state{};
    state.out = voice.file;
    state.err = null_stream();
    state.meta.stream = meta.file;
    state.control = fdopen(fds[0], "r");

    std::size_t at = 0;
    while (at < size) {
        const uint8_t tag = data[at++];
        std::size_t n = tag < 0x80 ? tag + 1u : (tag & 0x3Fu) + 1u;
        if (n > size - at) n = size - at;
        if (tag < 0x80) {
            if (n > 0) process_input_block(state, data + at, n);
        } else if (write(fds[1], data + at, n) < 0) {
            // A full pipe drops the message, as a display writing too fast would lose it.
        }
        at += n;
    }

    std::fclose(state.control);
    close(fds[1]);
    if (voice.bytes().size() % dmr_voice_unit_bytes != 0) fuzz_fail("voice output is not whole voice units");
    for (std::string_view lines = meta.bytes(); !lines.empty();) {
        const std::size_t end = lines.find('\n');
        if (end == std::string_view::npos || lines.substr(0, 18) != "protocol:DMR;slot:")
            fuzz_fail("metadata is not whole slot lines");
        lines.remove_prefix(end + 1);
    }
    if (state.voice_slot < -1 || state.voice_slot > 1) fuzz_fail("voice lock on a slot that does not exist");
    return 0;
}
