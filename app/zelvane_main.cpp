// SPDX-License-Identifier: MIT
// zelvane: one command from a recording, a stream or IQ to calls, pages and
// speech, through the receiving programs' own decoders, run in-process.

#include <signal.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "engine.h"
#include "options.h"
#include "tool_frame.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void request_stop(int) { stop_requested = 1; }

}  // namespace

int main(int argc, char **argv) {
    // Descriptors 0 to 2 left closed are opened on /dev/null, so that no
    // file zelvane opens takes their place; SIGPIPE gives EPIPE instead.
    init_stream_frame();
    zelvane_options options;
    std::string error;
    if (!parse_zelvane_options(argc, argv, options, error)) {
        std::fprintf(stderr, "zelvane: %s (see zelvane -h)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(zelvane_usage, stderr);
        return 0;
    }
    if (options.version) {
        print_version();
        return 0;
    }
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    int status = run_engine(options, &stop_requested, error);
    if (status == 1) std::fprintf(stderr, "zelvane: %s\n", error.c_str());
    return status;
}
