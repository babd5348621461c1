// SPDX-License-Identifier: MIT
#include "options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

const char zelvane_usage[] =
    "Usage: zelvane [options] [INPUT]\n\n"
    "Decodes DMR calls, System Fusion calls and POCSAG pages (512, 1200 and 2400\n"
    "bits/s) from one input, all side by side and in either polarity, and prints\n"
    "one line per event. INPUT is an audio file that libsndfile reads (WAV, FLAC,\n"
    "...; any rate, first channel), or '-' or nothing for standard input.\n\n"
    "Options:\n"
    " -h, --help               show this message\n"
    " -v, --version            print version and exit\n"
    " -f, --format FORMAT      raw input: s16 or f32 (FM discriminator audio), or\n"
    "                          cu8, cs16 or cf32 (complex IQ of a channel centred\n"
    "                          in the stream, FM-demodulated by zelvane)\n"
    " -r, --rate HZ            sample rate of raw input (IQ: 48000 and up)\n"
    " -p, --protocols LIST     comma-separated: dmr, ysf, pocsag (default all)\n"
    " -j, --json               JSON Lines instead of readable lines\n"
    " -a, --audio-dir DIR      write the speech of each call to a WAV file in DIR\n"
    "     --exact              use the exact slicers quadslice and duoslice\n"
    "     --no-progress        no progress bar, even on a terminal\n";

bool is_iq(input_format format) {
    return format == input_format::cu8 || format == input_format::cs16 || format == input_format::cf32;
}

namespace {

enum long_only { opt_exact = 256, opt_no_progress };

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"format", required_argument, nullptr, 'f'},
    {"rate", required_argument, nullptr, 'r'},
    {"protocols", required_argument, nullptr, 'p'},
    {"json", no_argument, nullptr, 'j'},
    {"audio-dir", required_argument, nullptr, 'a'},
    {"exact", no_argument, nullptr, opt_exact},
    {"no-progress", no_argument, nullptr, opt_no_progress},
    {nullptr, 0, nullptr, 0},
};

bool parse_format(const std::string &name, input_format &format) {
    static const struct {
        const char *name;
        input_format format;
    } formats[] = {{"s16", input_format::s16},
                   {"f32", input_format::f32},
                   {"cu8", input_format::cu8},
                   {"cs16", input_format::cs16},
                   {"cf32", input_format::cf32}};
    for (const auto &f : formats)
        if (name == f.name) {
            format = f.format;
            return true;
        }
    return false;
}

bool parse_rate(const char *text, long &rate) {
    errno = 0;
    char *end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != 0 || value < 1000 || value > 100000000) return false;
    rate = value;
    return true;
}

bool parse_protocols(const std::string &list, zelvane_options &o, std::string &error) {
    o.dmr = o.ysf = o.pocsag = false;
    std::stringstream in(list);
    std::string name;
    bool any = false;
    while (std::getline(in, name, ',')) {
        if (name == "dmr")
            o.dmr = true;
        else if (name == "ysf")
            o.ysf = true;
        else if (name == "pocsag")
            o.pocsag = true;
        else {
            error = "unknown protocol '" + name + "' (dmr, ysf or pocsag)";
            return false;
        }
        any = true;
    }
    if (!any) error = "--protocols needs at least one of dmr, ysf, pocsag";
    return any;
}

// The option getopt_long just refused, as the user wrote it.
std::string option_text(char **argv) {
    if (optopt > 0 && optopt < 256) return std::string("-") + static_cast<char>(optopt);
    return argv[optind - 1];
}

}  // namespace

bool parse_zelvane_options(int argc, char **argv, zelvane_options &o, std::string &error) {
    bool format_given = false;
    opterr = 0;
    optind = 1;
    int letter;
    while ((letter = getopt_long(argc, argv, ":hvf:r:p:ja:", long_options, nullptr)) != -1) {
        switch (letter) {
            case 'h':
                o.help = true;
                return true;
            case 'v':
                o.version = true;
                return true;
            case 'f':
                if (!parse_format(optarg, o.format)) {
                    error = "unknown format '" + std::string(optarg) + "' (s16, f32, cu8, cs16 or cf32)";
                    return false;
                }
                format_given = true;
                break;
            case 'r':
                if (!parse_rate(optarg, o.rate)) {
                    error =
                        "--rate takes a sample rate in Hz from 1000 to 100000000, not '" + std::string(optarg) + "'";
                    return false;
                }
                break;
            case 'p':
                if (!parse_protocols(optarg, o, error)) return false;
                break;
            case 'j':
                o.json = true;
                break;
            case 'a':
                o.audio_dir = optarg;
                if (o.audio_dir.empty()) {
                    error = "--audio-dir needs a folder";
                    return false;
                }
                break;
            case opt_exact:
                o.exact = true;
                break;
            case opt_no_progress:
                o.progress = false;
                break;
            case ':':
                error = "option '" + option_text(argv) + "' needs a value";
                return false;
            default:
                error = "unknown option '" + option_text(argv) + "'";
                return false;
        }
    }
    if (optind < argc) o.input = argv[optind++];
    if (optind < argc) {
        error = "one input only, not also '" + std::string(argv[optind]) + "'";
        return false;
    }
    if (format_given && o.rate == 0) {
        error = "raw input needs --rate HZ";
        return false;
    }
    if (!format_given && o.rate != 0) {
        error = "--rate is for raw input: give its --format too";
        return false;
    }
    if (format_given && is_iq(o.format) && o.rate < 48000) {
        error = "IQ input needs a rate of 48000 Hz or more";
        return false;
    }
    return true;
}
