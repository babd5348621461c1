// pagewick's stream logic on arbitrary bit bytes. The first byte picks the
// read size (1..128 bytes per block); the rest is the bit stream. Every page
// line is an "address:%i;message:%s\n" line.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "pocsag_decoder.h"

namespace {

pagewick_state state;

// Page texts may hold any 7-bit character, a newline too, so only the start
// of the first line and the end of the last are certain.
bool page_lines(std::string_view text) {
    return text.empty() || (text.substr(0, 8) == "address:" && text.back() == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block = data[0] % pagewick_block_size + 1u;
    ++data;
    --size;

    memory_stream pages;
    state = pagewick_state{};
    const pocsag_sink sink{pages.file, null_stream(), nullptr};
    for (std::size_t at = 0; at < size; at += block) {
        const std::size_t n = size - at < block ? size - at : block;
        pagewick_process(state, data + at, n, sink);
    }
    if (!page_lines(pages.bytes())) fuzz_fail("page output is not whole page lines");
    return 0;
}
