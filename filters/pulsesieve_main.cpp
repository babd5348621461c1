// SPDX-License-Identifier: MIT
// pulsesieve: shapes a stream of float samples with the fixed 81-tap
// root-raised-cosine pulse (delay 40 samples).

#include <cstdio>

#include "rrc_filter.h"
#include "tool_frame.h"

namespace {

const char usage_text[] =
    "pulsesieve version %s\n\nUsage: pulsesieve [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -v, --version   print version and exit\n";

const char short_options[] = "hv";
const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

constexpr std::size_t block_samples = 256;

rrc_state state;
float block[block_samples];

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, short_options, long_options, usage_text, nullptr, nullptr);
    run_stream_loop(block, sizeof(float), block_samples, [](std::size_t n) {
        rrc_filter(state, block, n);
        std::fwrite(block, sizeof(float), n, stdout);
        flush_output();
    });
    return 0;
}
