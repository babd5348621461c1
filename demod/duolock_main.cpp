// SPDX-License-Identifier: MIT
// duolock: baseband float samples in, bit bytes out, with bit clock
// recovery at 512, 1200 or 2400 bits/s.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demod_stream.h"
#include "duolock.h"
#include "tool_frame.h"

namespace {

const char usage_format[] =
    "duolock version %s\n\nUsage: duolock [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    invert bits (used e.g in pocsag)\n"
    " -r, --rate N    bits per second: 512, 1200 (default) or 2400\n";

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"invert", no_argument, nullptr, 'i'},
    {"rate", required_argument, nullptr, 'r'},
    {nullptr, 0, nullptr, 0},
};

duolock_state state;

// A rate other than the three keeps the rate set before (the default 1200)
// and says so: a receiver set to a rate it cannot take would otherwise
// print nothing at all.
void handle_option(int letter, const char *argument, void *context) {
    auto &s = *static_cast<duolock_state *>(context);
    if (letter == 'i') s.invert = true;
    if (letter == 'r') {
        const int rate = argument && std::strlen(argument) <= 4 ? std::atoi(argument) : 0;
        if (!duolock_set_rate(s, rate))
            std::fprintf(stderr, "rate %s unknown, using %d\n", argument ? argument : "",
                         static_cast<int>(48000.0 / s.period + 0.5));
    }
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    use_static_stream_buffers();
    parse_options(argc, argv, "hvir:", long_options, usage_format, handle_option, &state);
    run_demodulator<duolock_state, duolock_block_size, duolock_max_bits>(state, duolock_block);
    return 0;
}
