// SPDX-License-Identifier: MIT
// quadlock: baseband float samples in, four-level symbol bytes out, with
// a matched filter and symbol clock recovery.

#include <cstdio>

#include "demod_stream.h"
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

void handle_option(int letter, const char *, void *context) {
    if (letter == 'i') static_cast<quadlock_state *>(context)->invert = true;
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    use_static_stream_buffers();
    parse_options(argc, argv, "hvi", long_options, usage_format, handle_option, &state);
    run_demodulator<quadlock_state, quadlock_block_size, quadlock_max_symbols>(state, quadlock_block);
    return 0;
}
