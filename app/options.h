// SPDX-License-Identifier: MIT
#pragma once
// The command line of zelvane: what to decode, from where, and how to report it.

#include <string>
#include <vector>

#include "http_options.h"

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
    std::string audio_dir;  // one speech file per call in this folder; empty for none
    std::string audio_format = "wav";  // --audio-format
    std::string audio_name;            // --audio-name: the file name template; empty for the default names
    // --talkgroups, --radio-ids, --capcodes: name lists; empty for none.
    std::string talkgroups, radio_ids, capcodes;
    http_options http;  // --http and its companions; http.port -1 for no web monitor
    std::string db;            // --db: the SQLite call log; empty for none
    std::string mqtt, mqtt_cafile;  // --mqtt URL, --mqtt-cafile FILE; empty for none

    // Wideband input (--center): IQ at rate holding many channels.
    bool wideband = false;
    long long center = 0;                // Hz
    long long spacing = 12500;           // the channel raster
    std::vector<long long> channels;     // the channels to decode: --channels, or the whole usable band
    double ppm = 0;                      // --ppm: the capture clock's error
    std::string rtl_tcp_host;            // --rtl-tcp HOST:PORT; empty for none
    int rtl_tcp_port = 0;
    bool automatic_gain = true;          // --gain DB sets a manual gain
    double gain_db = 0;
    bool progress = true;   // a progress bar when standard error is a terminal and the input a file
    std::string station;    // --station: put into every event; empty for none
    // --start-time: the wall-clock time of the input's first sample, in
    // milliseconds since 1970 (UTC); -1 when not given.
    long long start_ms = -1;
    double dedup_seconds = 10.0;  // --dedup: the same page again within this is a repeat
    bool help = false, version = false;
};

// Usage text of zelvane.
extern const char zelvane_usage[];

// Parses argv into options. False with a one-line reason (no newline) for a
// bad option, a bad value, a second input, or raw input without its rate.
bool parse_zelvane_options(int argc, char **argv, zelvane_options &options, std::string &error);
