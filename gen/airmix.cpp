// SPDX-License-Identifier: MIT
#include "airmix.h"

#include <getopt.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

#include "airmint.h"

const char airmix_usage[] =
    "airmix version %s\n\n"
    "Usage: airmix -r RATE [options] --signal TRANSMISSION... > capture\n\n"
    "Mixes narrowband transmissions (airmint's baseband: 32-bit float at 48000\n"
    "samples/s) onto chosen offsets of one wideband IQ capture, each FM-modulated,\n"
    "adds noise, and writes the capture to standard output.\n\n"
    "Available options:\n"
    " -h, --help               show this message\n"
    " -v, --version            print version and exit\n"
    " -r, --rate N             capture rate, samples/s: 240000 to 20000000 (required)\n"
    " -f, --format F           cu8 (default, as an RTL dongle), cs16 or cf32\n"
    "     --signal OFFSET,LEVEL,START,FILE\n"
    "                          a transmission from FILE, airmint's\n"
    "                          baseband; OFFSET in Hz from the centre (k or M allowed,\n"
    "                          negative below it), LEVEL the carrier's power in dBFS,\n"
    "                          START in seconds from the capture's start\n"
    "     --airmint OFFSET,LEVEL,START,ARGS\n"
    "                          a transmission airmint makes, with\n"
    "                          ARGS airmint's options separated by spaces, quoted as\n"
    "                          in a shell (\"-p pocsag --page '1234567:Hello there'\")\n"
    "     --deviation HZ       FM deviation per unit of baseband for the transmissions\n"
    "                          after it (default 1944, DMR's and System Fusion's outer\n"
    "                          symbol; 4500 suits POCSAG)\n"
    "     --noise DB           white noise, its power in 12.5 kHz in dBFS (SNR of a\n"
    "                          channel = LEVEL - DB); for cu8 at 2.4 MS/s -60 or more,\n"
    "                          a few steps of 8 bits as a dongle's noise, or the\n"
    "                          quantization changes with the carriers present\n"
    "     --seed N             seed of the noise (default 1)\n"
    "     --seconds S          length of the capture (default: to the end of the last\n"
    "                          transmission and 0.1 s more)\n\n"
    "Example: a DMR call 100 kHz above the centre of a 2.4 MS/s capture and a\n"
    "POCSAG page 12.5 kHz below it, 40 dB over the noise:\n"
    "  airmix -r 2400000 --noise -60 --airmint 100k,-20,0.2,\"-p dmr --source 2001\"\n"
    "    --deviation 4500 --airmint -12.5k,-20,0.5,\"-p pocsag --page 1234567:Hi\" > band.cu8\n";

namespace {

const char short_options[] = "hvr:f:";
enum { opt_signal = 256, opt_airmint, opt_deviation, opt_noise, opt_seed, opt_seconds };
const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"rate", required_argument, nullptr, 'r'},
    {"format", required_argument, nullptr, 'f'},
    {"signal", required_argument, nullptr, opt_signal},
    {"airmint", required_argument, nullptr, opt_airmint},
    {"deviation", required_argument, nullptr, opt_deviation},
    {"noise", required_argument, nullptr, opt_noise},
    {"seed", required_argument, nullptr, opt_seed},
    {"seconds", required_argument, nullptr, opt_seconds},
    {nullptr, 0, nullptr, 0},
};

bool parse_number(const std::string &text, double &value, bool suffix = false) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str()) return false;
    std::string rest(end);
    if (suffix && rest == "k")
        value *= 1e3;
    else if (suffix && rest == "M")
        value *= 1e6;
    else if (!rest.empty())
        return false;
    return std::isfinite(value);
}

// Splits OFFSET,LEVEL,START,REST.
bool parse_transmission(const std::string &text, airmix_signal &s, std::string &rest, std::string &error) {
    std::string field[3];
    size_t at = 0;
    for (int k = 0; k < 3; ++k) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos) {
            error = "a transmission wants OFFSET,LEVEL,START,FILE (or ,ARGS): '" + text + "'";
            return false;
        }
        field[k] = text.substr(at, comma - at);
        at = comma + 1;
    }
    rest = text.substr(at);
    if (!parse_number(field[0], s.offset_hz, true)) {
        error = "bad offset '" + field[0] + "' (Hz, k or M allowed: -250k)";
        return false;
    }
    if (!parse_number(field[1], s.level_db) || s.level_db > 20 || s.level_db < -200) {
        error = "bad level '" + field[1] + "' (dBFS, -200 to 20)";
        return false;
    }
    if (!parse_number(field[2], s.start_seconds) || s.start_seconds < 0 || s.start_seconds > 3600) {
        error = "bad start '" + field[2] + "' (seconds, 0 to 3600)";
        return false;
    }
    if (rest.empty()) {
        error = "a transmission wants a file or airmint's arguments after OFFSET,LEVEL,START";
        return false;
    }
    return true;
}

bool read_baseband(const std::string &path, std::vector<float> &baseband, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() % sizeof(float) != 0 || bytes.empty()) {
        error = "'" + path + "' is not 32-bit float baseband (empty, or its length is not a multiple of 4)";
        return false;
    }
    baseband.resize(bytes.size() / sizeof(float));
    std::memcpy(baseband.data(), bytes.data(), bytes.size());
    for (float &v : baseband)
        if (!std::isfinite(v)) v = 0;
    return true;
}

// Streams one transmission's baseband up to the capture rate.
struct upsampler {
    soxr_t soxr = nullptr;
    const std::vector<float> *in = nullptr;
    size_t used = 0;
    bool flushed = false, done = false;
    std::vector<float> ready;
    size_t taken = 0;

    ~upsampler() {
        if (soxr) soxr_delete(soxr);
    }

    // The next sample; 0 once the transmission is over.
    float next() {
        if (taken == ready.size()) refill();
        return taken < ready.size() ? ready[taken++] : 0.0f;
    }

    bool over() {
        if (taken == ready.size()) refill();
        return taken == ready.size();
    }

    void refill() {
        ready.clear();
        taken = 0;
        while (ready.empty() && !done) {
            float out[8192];
            size_t consumed = 0, made = 0;
            if (used < in->size()) {
                size_t chunk = std::min<size_t>(in->size() - used, 256);
                soxr_process(soxr, in->data() + used, chunk, &consumed, out, std::size(out), &made);
                used += consumed;
            } else {
                soxr_process(soxr, nullptr, 0, nullptr, out, std::size(out), &made);
                if (made == 0) done = true;
                flushed = true;
            }
            ready.assign(out, out + made);
        }
    }
};

// Splits airmint's arguments at spaces as a shell would: '...' and "..."
// keep spaces, a backslash takes the next character as it is.
bool split_words(const std::string &text, std::vector<std::string> &words) {
    std::string word;
    bool in_word = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            in_word = true;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            in_word = true;
        } else if (c == ' ' || c == '\t') {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quote) return false;
    if (in_word) words.push_back(word);
    return true;
}

}  // namespace

bool airmix_run_airmint(const std::string &arguments, std::vector<float> &baseband, std::string &error) {
    std::vector<std::string> words{"airmint"};
    if (!split_words(arguments, words)) {
        error = "airmint arguments '" + arguments + "': a quote is not closed";
        return false;
    }
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    airmint_settings settings;
    optind = 0;  // a fresh option loop (GNU getopt)
    opterr = 0;
    int letter;
    while ((letter = getopt_long(static_cast<int>(words.size()), argv.data(), airmint_short_options,
                                 airmint_long_options, nullptr)) != -1) {
        if (letter == '?' || letter == ':' || letter == 'h' || letter == 'v') {
            error = "airmint arguments '" + arguments + "': unknown option or missing value";
            opterr = 1;
            return false;
        }
        std::string why;
        if (!airmint_option(settings, letter, optarg, why)) {
            error = "airmint arguments '" + arguments + "': " + why;
            opterr = 1;
            return false;
        }
    }
    opterr = 1;
    if (optind < static_cast<int>(words.size())) {
        error = "airmint arguments '" + arguments + "': unexpected '" + words[static_cast<size_t>(optind)] + "'";
        return false;
    }
    std::string why;
    if (!airmint_finish(settings, why)) {
        error = "airmint arguments '" + arguments + "': " + why;
        return false;
    }
    if (settings.output != airmint_output::baseband) {
        error = "airmint arguments '" + arguments + "': airmix takes baseband, not -o symbols or bits";
        return false;
    }
    char *buffer = nullptr;
    size_t size = 0;
    FILE *memory = open_memstream(&buffer, &size);
    if (!memory) {
        error = "out of memory";
        return false;
    }
    bool written = airmint_write(settings, memory, why);
    std::fclose(memory);
    if (written) {
        baseband.resize(size / sizeof(float));
        std::memcpy(baseband.data(), buffer, baseband.size() * sizeof(float));
    }
    std::free(buffer);
    if (!written) error = "airmint arguments '" + arguments + "': " + why;
    return written;
}

bool airmix_parse(int argc, char **argv, airmix_settings &settings, std::string &error) {
    // Gathered first, made after: airmint's own option loop must not run
    // inside this one.
    struct pending {
        airmix_signal signal;
        std::string source;
        bool airmint;
    };
    std::vector<pending> wanted;
    double deviation = 1944;
    int letter;
    optind = 0;
    while ((letter = getopt_long(argc, argv, short_options, long_options, nullptr)) != -1) {
        std::string arg = optarg ? optarg : "";
        double v = 0;
        switch (letter) {
            case 'h':
            case 'v':
                error = letter == 'h' ? "help" : "version";
                return false;
            case 'r':
                if (!parse_number(arg, v, true) || v < 240000 || v > 20e6) {
                    error = "bad rate '" + arg + "' (240000 to 20000000 samples/s)";
                    return false;
                }
                settings.rate = v;
                break;
            case 'f':
                if (arg == "cu8")
                    settings.format = airmix_format::cu8;
                else if (arg == "cs16")
                    settings.format = airmix_format::cs16;
                else if (arg == "cf32")
                    settings.format = airmix_format::cf32;
                else {
                    error = "bad format '" + arg + "' (cu8, cs16 or cf32)";
                    return false;
                }
                break;
            case opt_signal:
            case opt_airmint: {
                pending p;
                if (!parse_transmission(arg, p.signal, p.source, error)) return false;
                p.signal.deviation_hz = deviation;
                p.airmint = letter == opt_airmint;
                wanted.push_back(p);
                break;
            }
            case opt_deviation:
                if (!parse_number(arg, v, true) || v <= 0 || v > 100000) {
                    error = "bad deviation '" + arg + "' (Hz, above 0, at most 100000)";
                    return false;
                }
                deviation = v;
                break;
            case opt_noise:
                if (!parse_number(arg, v) || v > 20 || v < -200) {
                    error = "bad noise level '" + arg + "' (dBFS in 12.5 kHz, -200 to 20)";
                    return false;
                }
                settings.noisy = true;
                settings.noise_db = v;
                break;
            case opt_seed:
                if (!parse_number(arg, v) || v < 0 || v > 1e18 || v != std::floor(v)) {
                    error = "bad seed '" + arg + "'";
                    return false;
                }
                settings.seed = static_cast<uint64_t>(v);
                break;
            case opt_seconds:
                if (!parse_number(arg, v) || v <= 0 || v > 3600) {
                    error = "bad length '" + arg + "' (seconds, above 0, at most 3600)";
                    return false;
                }
                settings.seconds = v;
                break;
            default:
                error = "unknown option or missing value (airmix --help lists them)";
                return false;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument '") + argv[optind] + "'";
        return false;
    }
    if (settings.rate == 0) {
        error = "the capture rate is needed: -r RATE";
        return false;
    }
    if (wanted.empty()) {
        error = "no transmission: give --signal or --airmint";
        return false;
    }
    for (pending &p : wanted) {
        // The carrier and its deviation must stay inside the capture.
        double reach = std::fabs(p.signal.offset_hz) + 2.5 * p.signal.deviation_hz;
        if (reach >= settings.rate / 2) {
            error = "offset " + std::to_string(static_cast<long long>(p.signal.offset_hz)) +
                    " Hz does not fit a capture of " + std::to_string(static_cast<long long>(settings.rate)) +
                    " samples/s";
            return false;
        }
        if (p.airmint) {
            if (!airmix_run_airmint(p.source, p.signal.baseband, error)) return false;
            p.signal.name = "airmint " + p.source;
        } else {
            if (!read_baseband(p.source, p.signal.baseband, error)) return false;
            p.signal.name = p.source;
        }
        settings.signals.push_back(std::move(p.signal));
    }
    return true;
}

bool airmix_write(const airmix_settings &settings, FILE *out, long long &clipped, std::string &error) {
    clipped = 0;
    const double rate = settings.rate;
    double end = 0;
    for (const airmix_signal &s : settings.signals)
        end = std::max(end, s.start_seconds + static_cast<double>(s.baseband.size()) / 48000);
    double seconds = settings.seconds > 0 ? settings.seconds : end + 0.1;
    const long long frames = std::llround(seconds * rate);

    struct voice {
        const airmix_signal *signal;
        upsampler up;
        long long start;
        double phase = 0;
        double amplitude;
    };
    std::vector<voice> voices(settings.signals.size());
    for (size_t k = 0; k < voices.size(); ++k) {
        voice &v = voices[k];
        v.signal = &settings.signals[k];
        v.start = std::llround(v.signal->start_seconds * rate);
        v.amplitude = std::pow(10.0, v.signal->level_db / 20);
        v.up.in = &v.signal->baseband;
        soxr_error_t failure = nullptr;
        soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
        v.up.soxr = soxr_create(48000, rate, 1, &failure, nullptr, &quality, nullptr);
        if (!v.up.soxr) {
            error = std::string("libsoxr: ") + (failure ? failure : "cannot resample");
            return false;
        }
    }
    std::mt19937_64 gen(settings.seed);
    // Complex noise: half its power in each of I and Q.
    double sigma = settings.noisy ? std::sqrt(std::pow(10.0, settings.noise_db / 10) * rate / 12500 / 2) : 0;
    std::normal_distribution<double> normal(0.0, sigma > 0 ? sigma : 1.0);

    const size_t block = 65536;
    std::vector<double> iq(2 * block);
    std::vector<unsigned char> bytes;
    for (long long at = 0; at < frames; at += static_cast<long long>(block)) {
        size_t n = static_cast<size_t>(std::min<long long>(static_cast<long long>(block), frames - at));
        std::fill(iq.begin(), iq.begin() + static_cast<long>(2 * n), 0.0);
        for (voice &v : voices) {
            const double carrier = 2 * std::numbers::pi * v.signal->offset_hz / rate;
            const double swing = 2 * std::numbers::pi * v.signal->deviation_hz / rate;
            for (size_t i = 0; i < n; ++i) {
                long long t = at + static_cast<long long>(i);
                if (t < v.start || v.up.over()) continue;
                v.phase = std::remainder(v.phase + carrier + swing * v.up.next(), 2 * std::numbers::pi);
                iq[2 * i] += v.amplitude * std::cos(v.phase);
                iq[2 * i + 1] += v.amplitude * std::sin(v.phase);
            }
        }
        if (sigma > 0)
            for (size_t i = 0; i < 2 * n; ++i) iq[i] += normal(gen);
        bytes.clear();
        for (size_t i = 0; i < 2 * n; ++i) {
            double x = iq[i];
            switch (settings.format) {
                case airmix_format::cu8: {
                    double q = std::round(127.5 + 127.5 * x);
                    if (q < 0 || q > 255) ++clipped;
                    bytes.push_back(static_cast<unsigned char>(std::clamp(q, 0.0, 255.0)));
                    break;
                }
                case airmix_format::cs16: {
                    double q = std::round(32767 * x);
                    if (q < -32768 || q > 32767) ++clipped;
                    int16_t s = static_cast<int16_t>(std::clamp(q, -32768.0, 32767.0));
                    unsigned char b[2];
                    std::memcpy(b, &s, 2);
                    bytes.insert(bytes.end(), b, b + 2);
                    break;
                }
                case airmix_format::cf32: {
                    float f = static_cast<float>(x);
                    unsigned char b[4];
                    std::memcpy(b, &f, 4);
                    bytes.insert(bytes.end(), b, b + 4);
                    break;
                }
            }
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
            error = std::string("cannot write the capture: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}
