// SPDX-License-Identifier: MIT
#pragma once
// The command line of zelvane: what to decode, from where, and how to report it.

#include <string>

enum class input_format {
    file,  // an audio file read through libsndfile (rate and channels from its header)
    s16,   // raw discriminator audio, native-endian 16-bit signed
    f32,   // raw discriminator audio, native-endian 32-bit float
    cu8,   // raw complex IQ, interleaved unsigned 8-bit (128 is zero)
    cs16,  // raw complex IQ, interleaved signed 16-bit
    cf32,  // raw complex IQ, interleaved 32-bit float
};

// True for the three complex IQ formats, which zelvane FM-demodulates itself.
bool is_iq(input_format format);

struct zelvane_options {
    std::string input = "-";  // a path, or "-" for standard input
    input_format format = input_format::file;
    long rate = 0;  // samples (complex samples for IQ) per second of raw input; 0 when not given
    bool dmr = true, ysf = true, pocsag = true;
    bool exact = false;     // the exact slicers instead of the tracking demodulators
    bool json = false;      // JSON Lines instead of readable lines
    std::string audio_dir;  // one WAV file per call in this folder; empty for none
    bool progress = true;   // a progress bar when standard error is a terminal and the input a file
    std::string station;    // --station: put into every event; empty for none
    // --start-time: the wall-clock time of the input's first sample, in
    // milliseconds since 1970 (UTC); -1 when not given.
    long long start_ms = -1;
    double dedup_seconds = 1.0;  // --dedup: the same page again within this is a repeat
    bool help = false, version = false;
};

// Usage text of zelvane.
extern const char zelvane_usage[];

// Parses argv into options. False with a one-line reason (no newline) for a
// bad option, a bad value, a second input, or raw input without its rate.
bool parse_zelvane_options(int argc, char **argv, zelvane_options &options, std::string &error);
