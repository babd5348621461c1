// SPDX-License-Identifier: MIT
#include "tool_frame.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

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
            flush_output();
            std::exit(0);
        }
        if (handler) handler(c, optarg, context);
    }
}

void init_stream_frame() {
    // open() takes the lowest free descriptor, so going up from 0 fills
    // exactly the closed ones.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

int flush_stream(FILE *stream) {
    // A failed fwrite leaves its errno and the error flag; a failed fflush
    // sets errno anew.
    const int earlier = errno;
    if (std::fflush(stream) != 0) return errno ? errno : EIO;
    if (std::ferror(stream)) return earlier ? earlier : EIO;
    return 0;
}

void end_on_write_error(int error) {
    if (error == EPIPE) std::exit(0);
    std::fprintf(stderr, "%s: write error: %s\n", program_invocation_short_name, std::strerror(error));
    std::exit(1);
}

void flush_output() {
    const int error = flush_stream(stdout);
    if (error) end_on_write_error(error);
}

void check_output() {
    if (std::ferror(stdout)) end_on_write_error(errno ? errno : EIO);
}
