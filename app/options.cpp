// SPDX-License-Identifier: MIT
#include "options.h"

#include "audio_sink.h"
#include "frequency.h"
#include "mqtt_sink.h"
#include "rtl_tcp_source.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
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
    " -a, --audio-dir DIR      each call's speech in a file of its own in DIR, with a\n"
    "                          JSON sidecar NAME.json; both appear when the call ends\n"
    "     --audio-format FORMAT  wav (default), flac, ogg, opus or mp3\n"
    "     --audio-name TEMPLATE  file names from {date} {time} {seconds} {protocol}\n"
    "                          {frequency} {slot} {type} {source} {target}\n"
    "                          {source_name} {target_name} {alias} {radio} {station}\n"
    "     --talkgroups FILE    names of talkgroups (CSV: id,name)\n"
    "     --radio-ids FILE     names of radio ids (CSV: id,name, or RadioID.net user.csv)\n"
    "     --capcodes FILE      names of pager capcodes (CSV: id,name)\n"
    "     --db FILE            log calls, their talkers, pages and positions to the\n"
    "                          SQLite database FILE (WAL: readable while zelvane runs)\n"
    "     --mqtt URL           publish every event as JSON to an MQTT broker:\n"
    "                          mqtt://[USER[:PASS]@]HOST[:PORT][/PREFIX], or mqtts://\n"
    "     --mqtt-cafile FILE   mqtts: the CA certificates to check the broker by\n"
    "\nWideband IQ (a whole band at once):\n"
    "     --center HZ          IQ input (-f cu8|cs16|cf32, -r RATE) is a wideband capture\n"
    "                          centred at HZ (439.2M, 145000k, 439200000)\n"
    "     --channels LIST      the channels to decode (comma-separated frequencies);\n"
    "                          default: every channel of the raster in the usable band\n"
    "     --spacing HZ         the channel raster (default 12.5k)\n"
    "     --ppm N              the capture clock's error in ppm\n"
    "     --rtl-tcp HOST:PORT  read a running rtl_tcp server (with --center, -r RATE,\n"
    "                          default 2400000)\n"
    "     --gain DB            rtl_tcp: the tuner gain (default automatic)\n"
    "\nWeb monitor:\n"
    "     --http [ADDR:]PORT   serve a live web monitor (page and API) on PORT; a bare\n"
    "                          port listens on 127.0.0.1 only; after a file input ends\n"
    "                          zelvane keeps serving until Ctrl-C\n"
    "     --http-auth USER:PASSWORD  require this user and password (HTTP Basic);\n"
    "                          needed for an address other machines can reach\n"
    "     --http-open          serve an address other machines can reach without a\n"
    "                          password\n"
    "     --map-tiles URL      the web map's tile URL template, {z}/{x}/{y} and\n"
    "                          optional {s} (default OpenStreetMap's)\n"
    "     --exact              use the exact slicers quadslice and duoslice\n"
    "     --no-progress        no progress bar, even on a terminal\n"
    "     --station NAME       name this receiver in every event\n"
    "     --start-time TIME    wall-clock time of a file's start (ISO 8601, UTC:\n"
    "                          2026-12-11T10:00:00Z): events get their UTC time\n"
    "     --dedup SECONDS      the same page again within SECONDS is one event\n"
    "                          (default 10; 0 or 1: only the copies of one\n"
    "                          transmission are merged)\n";

bool is_iq(input_format format) {
    return format == input_format::cu8 || format == input_format::cs16 || format == input_format::cf32;
}

namespace {

enum long_only {
    opt_exact = 256,
    opt_no_progress,
    opt_station,
    opt_start_time,
    opt_dedup,
    opt_audio_format,
    opt_audio_name,
    opt_talkgroups,
    opt_radio_ids,
    opt_capcodes,
    opt_http,
    opt_http_auth,
    opt_http_open,
    opt_map_tiles,
    opt_db,
    opt_mqtt,
    opt_mqtt_cafile,
    opt_center,
    opt_channels,
    opt_spacing,
    opt_ppm,
    opt_rtl_tcp,
    opt_gain,
};

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
    {"station", required_argument, nullptr, opt_station},
    {"start-time", required_argument, nullptr, opt_start_time},
    {"dedup", required_argument, nullptr, opt_dedup},
    {"audio-format", required_argument, nullptr, opt_audio_format},
    {"audio-name", required_argument, nullptr, opt_audio_name},
    {"talkgroups", required_argument, nullptr, opt_talkgroups},
    {"radio-ids", required_argument, nullptr, opt_radio_ids},
    {"capcodes", required_argument, nullptr, opt_capcodes},
    {"http", required_argument, nullptr, opt_http},
    {"http-auth", required_argument, nullptr, opt_http_auth},
    {"http-open", no_argument, nullptr, opt_http_open},
    {"map-tiles", required_argument, nullptr, opt_map_tiles},
    {"db", required_argument, nullptr, opt_db},
    {"mqtt", required_argument, nullptr, opt_mqtt},
    {"mqtt-cafile", required_argument, nullptr, opt_mqtt_cafile},
    {"center", required_argument, nullptr, opt_center},
    {"channels", required_argument, nullptr, opt_channels},
    {"spacing", required_argument, nullptr, opt_spacing},
    {"ppm", required_argument, nullptr, opt_ppm},
    {"rtl-tcp", required_argument, nullptr, opt_rtl_tcp},
    {"gain", required_argument, nullptr, opt_gain},
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

// An ISO 8601 UTC time "YYYY-MM-DDTHH:MM:SS[.fff][Z]" (or a space for the
// T) in milliseconds since 1970; false for anything else.
bool parse_utc(const std::string &text, long long &ms) {
    int year, month, day, hour, minute;
    double second;
    char t = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%lf%n", &year, &month, &day, &t, &hour, &minute, &second,
                    &used) != 7)
        return false;
    std::string rest = text.substr(static_cast<size_t>(used));
    if ((t != 'T' && t != ' ') || !(rest.empty() || rest == "Z") || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || !(second >= 0 && second < 61) || year < 1970 || year > 9999)
        return false;
    // Days from 1970-01-01 to the date (proleptic Gregorian calendar).
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    ms = ((days * 24 + hour) * 60 + minute) * 60000LL + static_cast<long long>(second * 1000 + 0.5);
    return true;
}

// The option getopt_long just refused, as the user wrote it.
std::string option_text(char **argv) {
    if (optopt > 0 && optopt < 256) return std::string("-") + static_cast<char>(optopt);
    return argv[optind - 1];
}

// A decimal number within [low, high]; false for anything else.
bool parse_number(const char *text, double low, double high, double &value) {
    char *end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == 0 && value >= low && value <= high;
}

}  // namespace

bool parse_zelvane_options(int argc, char **argv, zelvane_options &o, std::string &error) {
    bool format_given = false;
    std::string channel_list;
    bool spacing_given = false;
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
            case opt_station:
                o.station = optarg;
                if (o.station.empty() || o.station.size() > 64) {
                    error = "--station takes a name of 1 to 64 characters";
                    return false;
                }
                break;
            case opt_start_time:
                if (!parse_utc(optarg, o.start_ms)) {
                    error = "--start-time takes an ISO 8601 UTC time such as 2026-12-11T10:00:00Z, not '" +
                            std::string(optarg) + "'";
                    return false;
                }
                break;
            case opt_dedup: {
                char *end = nullptr;
                o.dedup_seconds = std::strtod(optarg, &end);
                if (end == optarg || *end != 0 || !(o.dedup_seconds >= 0 && o.dedup_seconds <= 86400)) {
                    error = "--dedup takes seconds from 0 to 86400, not '" + std::string(optarg) + "'";
                    return false;
                }
                break;
            }
            case opt_audio_format:
                o.audio_format = optarg;
                if (!audio_format_supported(o.audio_format, error)) return false;
                break;
            case opt_audio_name: {
                o.audio_name = optarg;
                name_template parsed;
                if (!parse_name_template(o.audio_name, parsed, error)) return false;
                break;
            }
            case opt_talkgroups:
                o.talkgroups = optarg;
                break;
            case opt_radio_ids:
                o.radio_ids = optarg;
                break;
            case opt_capcodes:
                o.capcodes = optarg;
                break;
            case opt_http:
                if (!parse_http_address(optarg, o.http, error)) return false;
                break;
            case opt_http_auth:
                if (!parse_http_auth(optarg, o.http, error)) return false;
                break;
            case opt_http_open:
                o.http.open = true;
                break;
            case opt_map_tiles:
                o.http.map_tiles = optarg;
                break;
            case opt_db:
                o.db = optarg;
                if (o.db.empty()) {
                    error = "--db needs a file";
                    return false;
                }
                break;
            case opt_mqtt: {
                o.mqtt = optarg;
                mqtt_address address;
                if (!parse_mqtt_url(o.mqtt, address, error)) return false;
                break;
            }
            case opt_mqtt_cafile:
                o.mqtt_cafile = optarg;
                break;
            case opt_center:
                if (!parse_frequency(optarg, o.center, error)) return false;
                o.wideband = true;
                break;
            case opt_channels:
                channel_list = optarg;
                break;
            case opt_spacing:
                if (!parse_frequency(optarg, o.spacing, error)) return false;
                spacing_given = true;
                break;
            case opt_ppm:
                if (!parse_number(optarg, -1000, 1000, o.ppm)) {
                    error = "--ppm takes parts per million from -1000 to 1000, not '" + std::string(optarg) + "'";
                    return false;
                }
                break;
            case opt_rtl_tcp:
                if (!parse_host_port(optarg, o.rtl_tcp_host, o.rtl_tcp_port, error)) return false;
                break;
            case opt_gain:
                if (!parse_number(optarg, 0, 60, o.gain_db)) {
                    error = "--gain takes the tuner gain in dB from 0 to 60, not '" + std::string(optarg) + "'";
                    return false;
                }
                o.automatic_gain = false;
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
    if (!o.rtl_tcp_host.empty()) {
        // rtl_tcp delivers the dongle's cu8 samples.
        if (format_given && o.format != input_format::cu8) {
            error = "--rtl-tcp delivers cu8 samples: no other --format";
            return false;
        }
        if (optind > 1 && o.input != "-") {
            error = "--rtl-tcp is the input: no INPUT as well";
            return false;
        }
        if (!o.wideband) {
            error = "--rtl-tcp needs the frequency to tune to: --center HZ";
            return false;
        }
        o.format = input_format::cu8;
        if (o.rate == 0) o.rate = 2400000;
        format_given = true;
    }
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
    if (!channel_list.empty() || spacing_given || o.ppm != 0 || !o.automatic_gain) {
        if (!o.wideband) {
            error = "--channels, --spacing, --ppm and --gain are for a wideband capture: give its --center";
            return false;
        }
    }
    if (o.wideband) {
        if (!format_given || !is_iq(o.format)) {
            error = "--center takes IQ input: give -f cu8, cs16 or cf32 and -r RATE";
            return false;
        }
        if (o.rate < 240000) {
            error = "a wideband capture needs a rate of 240000 Hz or more";
            return false;
        }
        channel_plan_request plan;
        plan.rate = o.rate;
        plan.center = o.center;
        plan.spacing = o.spacing;
        if (!channel_list.empty() && !parse_channel_list(channel_list, plan.listed, error)) return false;
        if (!plan_channels(plan, o.channels, error)) return false;
    }
    if (o.http.port >= 0 || !o.http.user.empty() || o.http.open) {
        if (o.http.port < 0) {
            error = "--http-auth and --http-open go with --http [ADDR:]PORT";
            return false;
        }
        error = check_http_options(o.http);
        if (!error.empty()) return false;
        o.http.audio_dir = o.audio_dir.empty() ? "." : o.audio_dir;
    }
    return true;
}
