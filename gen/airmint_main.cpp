// SPDX-License-Identifier: MIT
// airmint: writes one test transmission to standard output.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "airmint.h"
#include "tool_frame.h"

namespace {

airmint_settings settings;

[[noreturn]] void fail(const std::string &reason) {
    if (!reason.empty()) std::fprintf(stderr, "airmint: %s\n", reason.c_str());
    std::exit(2);
}

void handle_option(int letter, const char *argument, void *context) {
    std::string error;
    if (!airmint_option(*static_cast<airmint_settings *>(context), letter, argument, error)) fail(error);
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, airmint_short_options, airmint_long_options, airmint_usage, handle_option, &settings);
    if (optind < argc) fail(std::string("unexpected argument '") + argv[optind] + "' (all settings are options)");
    if (isatty(STDOUT_FILENO)) fail("the transmission is binary: pipe it into a receiver or redirect it to a file");
    std::string error;
    if (!airmint_finish(settings, error)) fail(error);
    if (!airmint_write(settings, stdout, error)) {
        // A reader that has gone away downstream wants nothing more.
        if (errno == EPIPE) return 0;
        std::fprintf(stderr, "airmint: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
