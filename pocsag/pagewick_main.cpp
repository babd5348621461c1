// pagewick: decodes POCSAG pages from received bits (one byte per bit) on
// standard input and prints one line per page on standard output.

#include <cstdint>
#include <cstdio>

#include "pocsag_decoder.h"
#include "tool_frame.h"

namespace {

constexpr char usage_text[] =
    "pagewick version %s\n\nUsage: pagewick [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n";

constexpr struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

void flush_page_line(FILE *) { flush_output(); }

pagewick_state state;
uint8_t block[pagewick_block_size];

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, "hv", long_options, usage_text, nullptr, nullptr);
    const pocsag_sink sink{stdout, stderr, flush_page_line};
    run_stream_loop(block, 1, sizeof block, [&](std::size_t n) { pagewick_process(state, block, n, sink); });
    return 0;
}
