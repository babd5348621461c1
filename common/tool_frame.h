#pragma once
// The frame every program of the suite shares: version and usage output, the
// option loop over getopt_long, the stream loop over standard input, and the
// flush that ends each output unit.

#include <getopt.h>

#include <cstddef>
#include <cstdio>

// Writes "zelvane version " ZELVANE_VERSION "\n" to standard output.
void print_version();

// Writes the program's usage text to standard error; the format has one "%s",
// filled with the version.
void print_usage(const char *usage_format);

// Called for every option letter other than 'h' and 'v' that getopt_long
// returns, unknown letters ('?', ':') included; argument is optarg (may be
// null). context is the caller's own state.
using option_handler = void (*)(int letter, const char *argument, void *context);

// Runs the option loop: getopt_long until -1. 'h' prints the usage text and
// ends the process with status 0, 'v' prints the version line and ends with
// status 0; everything else goes to handler (which may be null). The parser's
// own complaints about unknown options or missing arguments stay on.
void parse_options(int argc, char **argv, const char *short_options, const struct option *long_options,
                   const char *usage_format, option_handler handler, void *context);

// Prepares the standard streams for a stream filter: a reader that goes away
// downstream makes writes fail with EPIPE instead of killing the process, so
// that flush_output() can end the run with status 0.
void init_stream_frame();

// Flushes standard output after an output unit. If the reader of standard
// output has gone away (EPIPE), there is nobody left to produce for: the run
// ends with status 0, as at end of input.
void flush_output();

// The stream loop: reads blocks of up to count elements of size bytes into
// buffer with one fread each and calls process(n) with the number of whole
// elements read, until a read returns none (end of input or read error).
// A trailing partial element is never delivered.
template <typename Process>
void run_stream_loop(void *buffer, std::size_t size, std::size_t count, Process &&process) {
    for (;;) {
        std::size_t n = std::fread(buffer, size, count, stdin);
        if (n == 0) return;
        process(n);
    }
}
