// SPDX-License-Identifier: MIT
// tessavox: decodes a DMR two-slot channel from four-level symbol bytes on
// standard input; writes the AMBE voice frames to standard output, the
// per-slot metadata lines to the metadata fifo and a running status line to
// standard error.

#include <getopt.h>

#include <cstdint>
#include <cstdlib>

#include "burst_framing.h"
#include "control_fifo.h"
#include "tool_frame.h"

namespace {

constexpr char usage_text[] =
    "tessavox version %s\n\nUsage: tessavox [options]\n\nAvailable options:\n"
    " -h, --help          show this message\n"
    " -f, --fifo          send metadata to this file\n"
    " -c, --control-fifo  read control messages from this file\n"
    " -v, --version       print version and exit\n"
    "     --presence      also report each slot's station, colour code and traffic\n";

constexpr struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},     {"fifo", required_argument, nullptr, 'f'},
    {"version", no_argument, nullptr, 'v'},  {"control-fifo", required_argument, nullptr, 'c'},
    {"presence", no_argument, nullptr, 'P'}, {nullptr, 0, nullptr, 0},
};

tessavox_state state;
uint8_t block[tessavox_block_size];

void handle_option(int letter, const char *argument, void *context) {
    auto &s = *static_cast<tessavox_state *>(context);
    if (letter == 'f' && argument) open_metadata_fifo(s.meta, argument, s.err);
    if (letter == 'c' && argument) open_control_fifo(s, argument);
    if (letter == 'P') s.report_presence = true;
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, "hf:vc:", long_options, usage_text, handle_option, &state);
    run_stream_loop(block, 1, sizeof block, [](std::size_t n) {
        process_input_block(state, block, n);
        send_pending_metadata(state.meta);
        if (state.output_gone) std::exit(0);
    });
    return 0;
}
