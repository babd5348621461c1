// SPDX-License-Identifier: MIT
#pragma once
// airmint, the test-signal generator: what to send and how, taken from the
// command line, and the writing of the transmission.

#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "baseband.h"
#include "dmr_signal.h"
#include "pocsag_encode.h"
#include "ysf_encode.h"

enum class airmint_protocol { dmr, ysf, pocsag };
enum class airmint_output { baseband, symbols, bits };

struct airmint_settings {
    airmint_protocol protocol = airmint_protocol::dmr;
    airmint_output output = airmint_output::baseband;

    // DMR. The call's and the other call's target and source are kept as
    // typed until the protocol is known (numbers for DMR, call signs for
    // System Fusion).
    dmr_channel_plan dmr;
    std::string target, source, other_target, other_source;
    std::string voice_path, other_voice_path;
    std::string alias;                                 // talker alias of the call, UTF-8 ("" none)
    int alias_format = 2;                              // dmr_encode::alias_format_*: UTF-8 unless chosen
    std::vector<std::pair<int, int>> csbks;            // opcode and feature set of each --csbk
    std::vector<std::string> texts;                    // --text, in order
    std::string text_format = "udp";                   // --text-format
    std::vector<std::pair<double, double>> locations;  // --location
    int data_type = 7;                                 // --data-rate: 7 (1/2), 8 (3/4), 10 (1)
    bool confirmed = false;                            // --confirmed
    bool has_dmr_position = false;                     // GPS info of the call
    double dmr_latitude = 0.0, dmr_longitude = 0.0;

    // System Fusion.
    uint8_t ysf_mode = ysf_encode::fich_dt_vd_mode2;
    std::string down, up;
    int radio = 0x2B;
    bool has_position = false;
    double latitude = 0.0, longitude = 0.0;
    int frames = 0;
    std::vector<uint8_t> ysf_voice;  // codec frames of the mode, read from voice_path

    // POCSAG.
    std::vector<pocsag_page> pages;

    channel_settings channel;

    // The first option given of each kind, for the checks across options
    // ("" if none).
    std::string dmr_option, ysf_option, pocsag_option, channel_option, four_level_option, ysf_dn_option;
};

// Usage text, a format with one "%s" for the version.
extern const char airmint_usage[];

// Option table and short-option string of the command line.
extern const char airmint_short_options[];
extern const struct option airmint_long_options[];

// Takes one option letter from the option loop with its argument. False
// with a one-line reason in error (no newline; empty when the option parser
// has already complained) for a bad option or argument.
bool airmint_option(airmint_settings &settings, int letter, const char *argument, std::string &error);

// The checks across options after the last one, reading the voice files.
// False with a reason in error.
bool airmint_finish(airmint_settings &settings, std::string &error);

// The System Fusion plan of the settings (after airmint_finish).
ysf_encode::transmission_plan airmint_ysf_plan(const airmint_settings &settings);

// The symbol bytes (DMR, System Fusion) or bit bytes (POCSAG) of the
// transmission, lead-in and tail included; false with a reason if the
// encoder refuses it.
bool airmint_stream(const airmint_settings &settings, std::vector<uint8_t> &stream, std::string &error);

// Writes the transmission to out in the chosen output form. False with a
// reason if it cannot be built or written.
bool airmint_write(const airmint_settings &settings, FILE *out, std::string &error);
