// SPDX-License-Identifier: MIT
// airmix: writes a wideband IQ capture of several transmissions to standard
// output.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "airmix.h"
#include "tool_frame.h"

int main(int argc, char **argv) {
    init_stream_frame();
    airmix_settings settings;
    std::string error;
    if (!airmix_parse(argc, argv, settings, error)) {
        if (error == "help") {
            print_usage(airmix_usage);
            return 0;
        }
        if (error == "version") {
            print_version();
            return 0;
        }
        std::fprintf(stderr, "airmix: %s\n", error.c_str());
        return 2;
    }
    if (isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "airmix: the capture is binary: pipe it into a receiver or redirect it to a file\n");
        return 2;
    }
    long long clipped = 0;
    bool written = airmix_write(settings, stdout, clipped, error);
    int failed = flush_stream(stdout);
    if (failed) end_on_write_error(failed);
    if (!written) {
        std::fprintf(stderr, "airmix: %s\n", error.c_str());
        return 1;
    }
    if (clipped > 0)
        std::fprintf(stderr, "airmix: %lld samples clipped at full scale (lower the levels or the noise)\n", clipped);
    return 0;
}
