// SPDX-License-Identifier: MIT
// pagewick's stream logic on arbitrary bit bytes. The first byte picks the
// read size (1..128 bytes per block) and, with its top bit, the function
// field; the rest is the bit stream. The run ends as pagewick's does, with
// the end of input. Every page is one whole "address:...;message:...\n"
// line: received line breaks are escaped.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "pocsag_decoder.h"

namespace {

pagewick_state state;

// True if text is nothing but whole page lines.
bool page_lines(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;
        const std::string_view line = text.substr(0, end);
        if (line.substr(0, 8) != "address:" || line.find(";message:") == std::string_view::npos) return false;
        text.remove_prefix(end + 1);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block = data[0] % pagewick_block_size + 1u;
    const bool function_key = (data[0] & 0x80) != 0;
    ++data;
    --size;

    memory_stream pages;
    state = pagewick_state{};
    const pocsag_sink sink{pages.file, null_stream(), nullptr, function_key};
    for (std::size_t at = 0; at < size; at += block) {
        const std::size_t n = size - at < block ? size - at : block;
        pagewick_process(state, data + at, n, sink);
    }
    pagewick_finish(state, sink);
    if (!page_lines(pages.bytes())) fuzz_fail("page output is not whole page lines");
    return 0;
}
