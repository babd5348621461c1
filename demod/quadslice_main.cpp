// SPDX-License-Identifier: MIT
// quadslice: baseband float samples in, four-level symbol bytes out.

#include <cstdio>

#include "demod_stream.h"
#include "quadslice.h"
#include "tool_frame.h"

namespace {

const char usage_format[] =
    "quadslice version %s\n\nUsage: quadslice [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n";

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

quadslice_state state;

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    use_static_stream_buffers();
    parse_options(argc, argv, "hv", long_options, usage_format, nullptr, nullptr);
    run_demodulator<quadslice_state, quadslice_block_size, quadslice_max_symbols>(state, quadslice_block);
    return 0;
}
