// SPDX-License-Identifier: MIT
// duoslice: baseband float samples in, bit bytes out.

#include <cstdio>

#include "demod_stream.h"
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

void handle_option(int letter, const char *, void *context) {
    if (letter == 'i') static_cast<duoslice_state *>(context)->invert = true;
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    use_static_stream_buffers();
    parse_options(argc, argv, "hvi", long_options, usage_format, handle_option, &state);
    run_demodulator<duoslice_state, duoslice_block_size, duoslice_max_bits>(state, duoslice_block);
    return 0;
}
