// duoslice: baseband float samples in, bit bytes out.

#include <cstdio>

#include "duoslice.h"
#include "tool_frame.h"

namespace {

const char usage_format[] =
    "duoslice version %s\n\nUsage: duoslice [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    invert bits (used e.g in pocsag)\n";

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"invert", no_argument, nullptr, 'i'},
    {nullptr, 0, nullptr, 0},
};

duoslice_state state;
float block[duoslice_block_size];
uint8_t bits[duoslice_max_bits];

void handle_option(int letter, const char *, void *context) {
    if (letter == 'i') static_cast<duoslice_state *>(context)->invert = true;
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
    run_stream_loop(block, sizeof block[0], duoslice_block_size, [](std::size_t n) {
        const int32_t produced = duoslice_block(state, block, static_cast<int32_t>(n), bits);
        std::fwrite(bits, 1, static_cast<std::size_t>(produced), stdout);
        flush_output();
    });
    return 0;
}
