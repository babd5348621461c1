// SPDX-License-Identifier: MIT
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

// Prepares the standard streams for a stream filter; the first call of every
// program, before anything is opened. Descriptors 0, 1 and 2 that the caller
// left closed are opened on /dev/null, so that no file or fifo the program
// opens later takes the place of standard output or standard error. A reader
// that goes away downstream makes writes fail with EPIPE instead of killing
// the process, so that flush_output() can end the run with status 0.
void init_stream_frame();

// Flushes stream and tells whether everything written to it since it was
// opened has left: 0, or the errno of the failed write (also of an fwrite
// that failed before, which leaves the stream's error flag set).
int flush_stream(FILE *stream);

// Ends the run after a write to standard output failed with error: a reader
// that went away (EPIPE) ends it with status 0, as at end of input; any other
// error (a full disk, an I/O error) writes "PROGRAM: write error: REASON\n"
// to standard error and ends with status 1, so that the failure is not
// reported as success.
[[noreturn]] void end_on_write_error(int error);

// Flushes standard output after an output unit; a failed write ends the run
// through end_on_write_error.
void flush_output();

// Ends the run through end_on_write_error if a write to standard output has
// failed since the last check: for output units flushed outside
// flush_output.
void check_output();

// The stream loop: reads blocks of up to count elements of size bytes into
// buffer with one fread each and calls process(n) with the number of whole
// elements read, until a read returns none (end of input or read error).
// A trailing partial element is never delivered. A write to standard output
// that failed while a block was processed ends the run (check_output).
template <typename Process>
void run_stream_loop(void *buffer, std::size_t size, std::size_t count, Process &&process) {
    for (;;) {
        std::size_t n = std::fread(buffer, size, count, stdin);
        if (n == 0) return;
        process(n);
        check_output();
    }
}
