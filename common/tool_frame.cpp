#include "tool_frame.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "version.h"

void print_version() { std::fprintf(stdout, "zelvane version %s\n", zelvane_version); }

void print_usage(const char *usage_format) {
    // The usage texts are fixed formats of the suite with a single "%s".
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::fprintf(stderr, usage_format, zelvane_version);
#pragma GCC diagnostic pop
}

void parse_options(int argc, char **argv, const char *short_options, const struct option *long_options,
                   const char *usage_format, option_handler handler, void *context) {
    int c;
    while ((c = getopt_long(argc, argv, short_options, long_options, nullptr)) != -1) {
        if (c == 'h') {
            print_usage(usage_format);
            std::exit(0);
        }
        if (c == 'v') {
            print_version();
            std::fflush(stdout);
            std::exit(0);
        }
        if (handler) handler(c, optarg, context);
    }
}

void init_stream_frame() { std::signal(SIGPIPE, SIG_IGN); }

void flush_output() {
    if (std::fflush(stdout) != 0 && errno == EPIPE) std::exit(0);
}
