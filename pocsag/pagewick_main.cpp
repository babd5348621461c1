// SPDX-License-Identifier: MIT
// pagewick: decodes POCSAG pages from received bits (one byte per bit) on
// standard input and prints one line per page on standard output.

#include <cstdint>
#include <cstdio>

#include "pocsag_decoder.h"
#include "tool_frame.h"

namespace {

constexpr char usage_text[] =
    "pagewick version %s\n\nUsage: pagewick [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -F, --function  add the function bits to each page line (function:N;)\n";

constexpr struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"function", no_argument, nullptr, 'F'},
    {nullptr, 0, nullptr, 0},
};

void flush_page_line(FILE *) { flush_output(); }

void take_option(int letter, const char *, void *context) {
    if (letter == 'F') static_cast<pocsag_sink *>(context)->function_key = true;
}

pagewick_state state;
uint8_t block[pagewick_block_size];

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    pocsag_sink sink{stdout, stderr, flush_page_line};
    parse_options(argc, argv, "hvF", long_options, usage_text, take_option, &sink);
    run_stream_loop(block, 1, sizeof block, [&](std::size_t n) { pagewick_process(state, block, n, sink); });
    pagewick_finish(state, sink);
    return 0;
}
