// SPDX-License-Identifier: MIT
// zeroglide: removes the DC offset and slow drift from a stream of float
// samples.

#include <cstdio>

#include "dc_blocker.h"
#include "tool_frame.h"

namespace {

const char usage_text[] =
    "zeroglide version %s\n\nUsage: zeroglide [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -v, --version   print version and exit\n";

const char short_options[] = "hv";
const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

constexpr std::size_t block_samples = 256;

dc_blocker_state state;
float block[block_samples];

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, short_options, long_options, usage_text, nullptr, nullptr);
    run_stream_loop(block, sizeof(float), block_samples, [](std::size_t n) {
        dc_blocker_filter(state, block, n);
        std::fwrite(block, sizeof(float), n, stdout);
        flush_output();
    });
    return 0;
}
