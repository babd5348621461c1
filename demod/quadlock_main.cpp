// quadlock: baseband float samples in, four-level symbol bytes out, with
// a matched filter and symbol clock recovery.

#include <cstdio>

#include "quadlock.h"
#include "tool_frame.h"

namespace {

const char usage_format[] =
    "quadlock version %s\n\nUsage: quadlock [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    negate the input (receiver of the other polarity)\n";

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"invert", no_argument, nullptr, 'i'},
    {nullptr, 0, nullptr, 0},
};

quadlock_state state;
float block[quadlock_block_size];
uint8_t symbols[quadlock_max_symbols];

void handle_option(int letter, const char *, void *context) {
    if (letter == 'i') static_cast<quadlock_state *>(context)->invert = true;
}

// The standard streams get static buffers so that nothing is allocated; a
// large input buffer takes whatever the pipe holds in one read, while fread
// still returns each block as soon as it is complete.
char input_buffer[65536];
char output_buffer[4096];

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    std::setvbuf(stdin, input_buffer, _IOFBF, sizeof input_buffer);
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    parse_options(argc, argv, "hvi", long_options, usage_format, handle_option, &state);
    run_stream_loop(block, sizeof block[0], quadlock_block_size, [](std::size_t n) {
        const int32_t produced = quadlock_block(state, block, static_cast<int32_t>(n), symbols);
        std::fwrite(symbols, 1, static_cast<std::size_t>(produced), stdout);
        flush_output();
    });
    return 0;
}
