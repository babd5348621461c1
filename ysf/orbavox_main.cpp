// SPDX-License-Identifier: MIT
// orbavox: System Fusion decoder, four-level symbol bytes on standard input,
// tagged codec frame records on standard output, metadata lines on the
// file given with -f.

#include <getopt.h>

#include <cstdint>

#include "metadata.h"
#include "orbavox.h"
#include "tool_frame.h"

namespace {

constexpr const char usage_text[] =
    "orbavox version %s\n\nUsage: orbavox [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -f, --fifo      send metadata to this file\n"
    " -v, --version   print version and exit\n";

const struct option long_options[] = {
    {"fifo", required_argument, nullptr, 'f'},
    {"version", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

orbavox_state state;
orbavox_streams streams;
uint8_t block[orbavox_block_symbols];

void handle_option(int letter, const char *argument, void *) {
    if (letter == 'f' && argument) open_metadata_fifo(streams.fifo, argument, stderr);
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, "f:vh", long_options, usage_text, handle_option, nullptr);
    run_stream_loop(block, 1, sizeof block, [](size_t n) {
        orbavox_process_block(state, block, n, streams);
        send_pending_metadata(streams.fifo);
    });
    orbavox_finish(state, streams);
    send_pending_metadata(streams.fifo);
    return 0;
}
