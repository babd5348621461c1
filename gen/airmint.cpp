// SPDX-License-Identifier: MIT
#include "airmint.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "codec_frame.h"
#include "pocsag_signal.h"
#include "ysf_signal.h"

const char airmint_usage[] =
    "airmint version %s\n\n"
    "Usage: airmint [options] > baseband\n\n"
    "Writes one test transmission to standard output: 32-bit float baseband at\n"
    "48000 samples/s, as a receiver's FM discriminator gives it, or with -o the\n"
    "symbol bytes or bit bytes the decoders read. Idle signal before and after\n"
    "the transmission (DMR idle bursts, random symbols, the POCSAG preamble and\n"
    "alternating bits) lets a receiver's levels and timing settle.\n\n"
    "Available options:\n"
    " -h, --help               show this message\n"
    " -v, --version            print version and exit\n"
    " -p, --protocol NAME      dmr (default), ysf or pocsag\n"
    " -o, --output FORM        baseband (default), symbols (dmr, ysf) or bits (pocsag)\n\n"
    "DMR (a call in one slot; the other slot idle or carrying a call of its own):\n"
    " -s, --slot N             slot of the call, 0 (default) or 1\n"
    " -t, --target N           talk group, or called station with --direct (default 9)\n"
    "     --source N           calling station (default 2001)\n"
    "     --direct             direct call instead of group call\n"
    "     --colour-code N      0..15 (default 1)\n"
    "     --superframes N      voice superframes of 18 frames (default 1, or as many as the\n"
    "                          voice needs; the voice is cut or filled up with zero frames)\n"
    "     --voice FILE         voice: a file of 12-byte codec frames (default: a test pattern)\n"
    "     --other-call         a call in the other slot too; set with --other-target,\n"
    "                          --other-source, --other-direct, --other-superframes,\n"
    "                          --other-voice FILE and --other-delay N (idle bursts first)\n"
    "     --alias TEXT         talker alias of the call, sent in every other superframe\n"
    "     --alias-format NAME  7bit, iso8859, utf8 (default) or utf16\n"
    "     --position LAT,LON   GPS info of the call in degrees, north and east positive\n"
    "                          (after -p ysf it is the System Fusion position)\n"
    "     --bad-rs             voice LC header with a wrong Reed-Solomon code\n"
    "     --csbk OP[/FID]      a CSBK before the call (opcode 0..63, feature set 0..255,\n"
    "                          default 0) carrying the call's target and source; repeatable\n"
    "     --text TEXT          a text message (UTF-8) from the source to the target before\n"
    "                          the call; repeatable\n"
    "     --text-format NAME   udp (text message service over IPv4/UDP, default), or defined\n"
    "                          short data in iso8859, utf8, utf16be or utf16le\n"
    "     --location LAT,LON   a location report (location service over IPv4/UDP) before the\n"
    "                          call; repeatable\n"
    "     --data-rate RATE     blocks of the data messages: half (default), three-quarter, one\n"
    "     --confirmed          confirmed data (serial number and CRC-9 in every block)\n"
    "     --no-voice           no voice call: only what is sent before it (CSBKs, data)\n"
    "     --emergency          an emergency call (service option of the voice LC)\n"
    "     --privacy ALG:KEY    an encrypted call: privacy service option, a PI header with the\n"
    "                          algorithm and key id (0..255 each), PI set in every EMB\n"
    "                          (without --superframes the call lasts until alias and\n"
    "                          position have each been sent once)\n\n"
    "System Fusion (header, communication frames, terminator):\n"
    "     --mode NAME          dn (voice/data mode 2, default), v1 (mode 1) or vw (voice full-rate)\n"
    " -t, --target CALL        call signs of up to 10 characters: --target (default ALL),\n"
    "     --source CALL        --source (default N0CALL), --down and --up (default blank)\n"
    "     --frames N           communication frames (default 16, or as the voice needs)\n"
    "     --voice FILE         codec frames of the mode: 7 bytes (dn), 12 (v1), 18 (vw)\n"
    "     --radio HEX          radio model code (dn only; default 2B)\n"
    "     --position LAT,LON   position in degrees, north and east positive (dn only)\n\n"
    "POCSAG (1200 bits/s unless --baud; pages in the order given):\n"
    "     --page ADDR[/F]:TEXT          alphanumeric page (function bits F, default 3)\n"
    "     --numeric-page ADDR[/F]:TEXT  numeric page (function bits F, default 0)\n"
    "     --tone-page ADDR[/F]          tone page: the address alone (function bits F, default 0)\n"
    "     (without pages: one alphanumeric test page to address 1234567)\n\n"
    "Channel (baseband only):\n"
    "     --amplitude A        outer level (default 1.0)\n"
    "     --offset D           DC offset (default 0)\n"
    "     --invert             inverted polarity (POCSAG is sent with bit 1 negative,\n"
    "                          which duoslice -i undoes; --invert sends bit 1 positive)\n"
    "     --snr DB             white Gaussian noise: mean level power over noise power\n"
    "     --seed N             seed of the noise (default 1: the same noise every run)\n"
    "     --ppm E              receiver clock error in parts per million (timing drifts)\n"
    "     --roll-off R         of the four-level root-raised-cosine pulse (default 0.5)\n"
    "     --tx-ppm E           transmitter symbol clock error in parts per million\n"
    "     --phase F            start the transmission F of a symbol (or bit) late, 0 <= F < 1\n"
    "     --clip L             hard limit every sample to -L..L after the noise\n"
    "     --baud N             POCSAG bits per second: 512, 1200 (default) or 2400\n"
    "     --square             POCSAG as square NRZ, without the shaped change of level\n\n"
    "Unlike the receiving programs, airmint ends with status 2 on a bad argument,\n"
    "after a one-line message: a test signal that was not made must not pass\n"
    "unnoticed into a test.\n";

namespace {

enum option_code : int {
    opt_source = 256,
    opt_direct,
    opt_colour_code,
    opt_superframes,
    opt_voice,
    opt_other_call,
    opt_other_target,
    opt_other_source,
    opt_other_direct,
    opt_other_superframes,
    opt_other_voice,
    opt_other_delay,
    opt_alias,
    opt_alias_format,
    opt_bad_rs,
    opt_csbk,
    opt_no_voice,
    opt_text,
    opt_text_format,
    opt_location,
    opt_data_rate,
    opt_confirmed,
    opt_emergency,
    opt_privacy,
    opt_mode,
    opt_down,
    opt_up,
    opt_radio,
    opt_position,
    opt_frames,
    opt_page,
    opt_numeric_page,
    opt_tone_page,
    opt_amplitude,
    opt_offset,
    opt_invert,
    opt_snr,
    opt_seed,
    opt_ppm,
    opt_roll_off,
    opt_tx_ppm,
    opt_phase,
    opt_clip,
    opt_baud,
    opt_square,
};

const char *option_name(int letter) {
    for (const struct option *o = airmint_long_options; o->name; ++o)
        if (o->val == letter) return o->name;
    return "?";
}

bool parse_long(const char *text, long long low, long long high, long long &value) {
    if (!text || !*text) return false;
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != 0 || v < low || v > high) return false;
    value = v;
    return true;
}

bool parse_double(const char *text, double low, double high, double &value) {
    if (!text || !*text) return false;
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno != 0 || *end != 0 || !std::isfinite(v) || v < low || v > high) return false;
    value = v;
    return true;
}

bool parse_int_option(const char *argument, long long low, long long high, int letter, int &out, std::string &error) {
    long long v;
    if (!parse_long(argument, low, high, v)) {
        error = "--" + std::string(option_name(letter)) + " takes a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + argument + "'";
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool parse_double_option(const char *argument, double low, double high, int letter, double &out, std::string &error) {
    if (!parse_double(argument, low, high, out)) {
        char range[96];
        std::snprintf(range, sizeof range, " takes a number from %g to %g, not '", low, high);
        error = "--" + std::string(option_name(letter)) + range + argument + "'";
        return false;
    }
    return true;
}

bool numeric_character(char c) { return std::strchr("0123456789*U -)(", c) != nullptr && c != 0; }

// ADDRESS[/FUNCTION]:TEXT
bool parse_page(const char *argument, pocsag_text_kind kind, pocsag_page &page, std::string &error) {
    const std::string text = argument;
    const std::size_t colon = text.find(':');
    const std::size_t slash = text.find('/');
    const std::string where = "--" + std::string(kind == pocsag_text_kind::numeric ? "numeric-page" : "page");
    if (colon == std::string::npos) {
        error = where + " takes ADDRESS[/FUNCTION]:TEXT, not '" + text + "'";
        return false;
    }
    const std::size_t address_end = slash < colon ? slash : colon;
    long long address, function = kind == pocsag_text_kind::numeric ? 0 : 3;
    if (!parse_long(text.substr(0, address_end).c_str(), 0, 2097151, address)) {
        error = where + ": the address is a number from 0 to 2097151, not '" + text.substr(0, address_end) + "'";
        return false;
    }
    if (slash < colon && !parse_long(text.substr(slash + 1, colon - slash - 1).c_str(), 0, 3, function)) {
        error = where + ": the function bits are a number from 0 to 3, not '" +
                text.substr(slash + 1, colon - slash - 1) + "'";
        return false;
    }
    page.address = static_cast<int32_t>(address);
    page.function = static_cast<int>(function);
    page.kind = kind;
    page.text = text.substr(colon + 1);
    if (page.text.size() > 1000) {
        error = where + ": a page holds at most 1000 characters";
        return false;
    }
    for (char c : page.text) {
        const bool fits =
            kind == pocsag_text_kind::numeric ? numeric_character(c) : static_cast<unsigned char>(c) < 128 && c != 0;
        if (!fits) {
            error = kind == pocsag_text_kind::numeric
                        ? where + ": numeric pages carry only the characters 0-9 * U - ) ( and space"
                        : where + ": alphanumeric pages carry only 7-bit characters";
            return false;
        }
    }
    return true;
}

// ADDRESS[/FUNCTION]: a page without message codewords.
bool parse_tone_page(const std::string &text, pocsag_page &page, std::string &error) {
    const std::size_t slash = text.find('/');
    const std::string address_text = text.substr(0, slash);
    long long address, function = 0;
    if (!parse_long(address_text.c_str(), 0, 2097151, address)) {
        error = "--tone-page takes ADDRESS[/FUNCTION], the address a number from 0 to 2097151, not '" + text + "'";
        return false;
    }
    if (slash != std::string::npos && !parse_long(text.substr(slash + 1).c_str(), 0, 3, function)) {
        error = "--tone-page: the function bits are a number from 0 to 3, not '" + text.substr(slash + 1) + "'";
        return false;
    }
    page = {static_cast<int32_t>(address), static_cast<int>(function), pocsag_text_kind::numeric, ""};
    return true;
}

void note(std::string &first, int letter) {
    if (first.empty()) first = "--" + std::string(option_name(letter));
}

bool read_voice_file(const std::string &path, int frame_size, std::vector<uint8_t> &bytes, std::string &error) {
    // Plain reads, so that a directory or a failing device gives an error
    // instead of an exception.
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = "cannot read the voice file '" + path + "': " + std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const int cause = errno;
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) {
        error = "cannot read the voice file '" + path + "': " + std::strerror(cause);
        return false;
    }
    if (bytes.empty() || bytes.size() % static_cast<std::size_t>(frame_size) != 0) {
        error = "the voice file '" + path + "' holds " + std::to_string(bytes.size()) +
                " bytes, not a whole number of " + std::to_string(frame_size) + "-byte codec frames";
        return false;
    }
    return true;
}

bool load_dmr_voice(const std::string &path, dmr_call_plan &call, std::string &error) {
    if (path.empty()) return true;
    std::vector<uint8_t> bytes;
    if (!read_voice_file(path, 12, bytes, error)) return false;
    call.voice.resize(bytes.size() / 12);
    for (std::size_t i = 0; i < call.voice.size(); ++i) std::memcpy(call.voice[i].data(), &bytes[12 * i], 12);
    return true;
}

bool dmr_address(const std::string &text, const char *what, uint32_t &out, std::string &error) {
    if (text.empty()) return true;
    long long v;
    if (!parse_long(text.c_str(), 1, 16777215, v)) {
        error = std::string("--") + what + " takes a DMR address from 1 to 16777215, not '" + text + "'";
        return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

bool ysf_call_sign(const std::string &text, const char *what, const char *fallback, ysf_encode::call_sign_field &out,
                   std::string &error) {
    const std::string &sign = text.empty() ? std::string(fallback) : text;
    if (sign.size() > 10) {
        error = std::string("--") + what + " takes a call sign of at most 10 characters, not '" + sign + "'";
        return false;
    }
    out = ysf_encode::call_sign(sign);
    return true;
}

bool finish_dmr(airmint_settings &s, std::string &error) {
    if (!s.ysf_option.empty()) {
        error = s.ysf_option + " is a System Fusion option; add -p ysf";
        return false;
    }
    s.dmr.other.slot = s.dmr.call.slot ^ 1;
    std::vector<dmr_encode::lc_bytes> &lcs = s.dmr.call.extras.lcs;
    lcs.clear();
    if (!s.alias.empty() && !dmr_encode::talker_alias_lcs(s.alias, s.alias_format, lcs)) {
        error = "--alias '" + s.alias +
                "' cannot be sent in this format: it takes 1 to 31 characters (UTF-16: code units) of at most "
                "217 bits, each one the format has";
        return false;
    }
    if (s.has_dmr_position) lcs.push_back(dmr_encode::gps_info_lc(s.dmr_latitude, s.dmr_longitude, 1));
    if (!(dmr_address(s.target, "target", s.dmr.call.target, error) &&
          dmr_address(s.source, "source", s.dmr.call.source, error) &&
          dmr_address(s.other_target, "other-target", s.dmr.other.target, error) &&
          dmr_address(s.other_source, "other-source", s.dmr.other.source, error) &&
          load_dmr_voice(s.voice_path, s.dmr.call, error) && load_dmr_voice(s.other_voice_path, s.dmr.other, error)))
        return false;
    s.dmr.call.data.clear();
    dmr_encode::data_message base;
    base.format = s.confirmed ? dmr_encode::data_format_confirmed : dmr_encode::data_format_unconfirmed;
    base.data_type = s.data_type;
    base.group = s.dmr.call.group;
    base.target = s.dmr.call.target;
    base.source = s.dmr.call.source;
    for (const std::string &text : s.texts) {
        dmr_encode::data_message m = base;
        if (s.text_format == "udp") {
            m.payload =
                dmr_encode::udp_packet(m.source, m.target, m.group, 5016, dmr_encode::text_message_payload(text));
        } else {
            m.format = dmr_encode::data_format_defined_short;
            m.sap = 10;  // short data service
            m.short_format = s.text_format == "iso8859"   ? 0x03
                             : s.text_format == "utf8"    ? 0x13
                             : s.text_format == "utf16be" ? 0x15
                                                          : 0x16;
            if (!dmr_encode::encode_text(text, s.text_format, m.payload)) {
                error = "--text '" + text + "' has characters that ISO 8859-1 lacks";
                return false;
            }
        }
        s.dmr.call.data.push_back(m);
    }
    for (const auto &[latitude, longitude] : s.locations) {
        dmr_encode::data_message m = base;
        m.payload = dmr_encode::udp_packet(m.source, m.target, m.group, 4001,
                                           dmr_encode::location_payload(latitude, longitude));
        s.dmr.call.data.push_back(m);
    }
    for (const dmr_encode::data_message &m : s.dmr.call.data) {
        if (dmr_encode::block_data_bytes(m.data_type, m.format) * 127 < static_cast<int>(m.payload.size()) + 4) {
            error = "a data message of " + std::to_string(m.payload.size()) + " bytes needs more than 127 blocks";
            return false;
        }
    }
    s.dmr.call.csbks.clear();
    for (const auto &[opcode, feature_set] : s.csbks)
        s.dmr.call.csbks.push_back(
            dmr_encode::make_addressed_csbk(opcode, feature_set, s.dmr.call.target, s.dmr.call.source));
    return true;
}

bool finish_ysf(airmint_settings &s, std::string &error) {
    if (!s.dmr_option.empty()) {
        error = s.dmr_option + " is a DMR option";
        return false;
    }
    if (!s.ysf_dn_option.empty() && s.ysf_mode != ysf_encode::fich_dt_vd_mode2) {
        error = s.ysf_dn_option + " is sent in voice/data mode 2 only (--mode dn)";
        return false;
    }
    if (!s.voice_path.empty() && !read_voice_file(s.voice_path, codec_frame_size(s.ysf_mode), s.ysf_voice, error))
        return false;
    ysf_encode::call_signs calls;
    return ysf_call_sign(s.target, "target", "ALL", calls.target, error) &&
           ysf_call_sign(s.source, "source", "N0CALL", calls.source, error) &&
           ysf_call_sign(s.down, "down", "", calls.down, error) && ysf_call_sign(s.up, "up", "", calls.up, error);
}

bool finish_pocsag(airmint_settings &s, std::string &error) {
    const std::string &other = !s.dmr_option.empty() ? s.dmr_option : s.ysf_option;
    if (!other.empty()) {
        error = other + " is not a POCSAG option";
        return false;
    }
    if (!s.four_level_option.empty()) {
        error = s.four_level_option + " shapes four-level symbols only";
        return false;
    }
    if (!s.voice_path.empty() || !s.target.empty() || !s.source.empty()) {
        error = "pages carry no voice, target or source: use --page, --numeric-page or --tone-page";
        return false;
    }
    if (s.pages.empty()) s.pages.push_back({1234567, 3, pocsag_text_kind::alphanumeric, "airmint test page"});
    return true;
}

}  // namespace

const char airmint_short_options[] = "hvp:o:s:t:";

const struct option airmint_long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"protocol", required_argument, nullptr, 'p'},
    {"output", required_argument, nullptr, 'o'},
    {"slot", required_argument, nullptr, 's'},
    {"target", required_argument, nullptr, 't'},
    {"source", required_argument, nullptr, opt_source},
    {"direct", no_argument, nullptr, opt_direct},
    {"colour-code", required_argument, nullptr, opt_colour_code},
    {"superframes", required_argument, nullptr, opt_superframes},
    {"voice", required_argument, nullptr, opt_voice},
    {"other-call", no_argument, nullptr, opt_other_call},
    {"other-target", required_argument, nullptr, opt_other_target},
    {"other-source", required_argument, nullptr, opt_other_source},
    {"other-direct", no_argument, nullptr, opt_other_direct},
    {"other-superframes", required_argument, nullptr, opt_other_superframes},
    {"other-voice", required_argument, nullptr, opt_other_voice},
    {"other-delay", required_argument, nullptr, opt_other_delay},
    {"alias", required_argument, nullptr, opt_alias},
    {"alias-format", required_argument, nullptr, opt_alias_format},
    {"bad-rs", no_argument, nullptr, opt_bad_rs},
    {"csbk", required_argument, nullptr, opt_csbk},
    {"no-voice", no_argument, nullptr, opt_no_voice},
    {"text", required_argument, nullptr, opt_text},
    {"text-format", required_argument, nullptr, opt_text_format},
    {"location", required_argument, nullptr, opt_location},
    {"data-rate", required_argument, nullptr, opt_data_rate},
    {"confirmed", no_argument, nullptr, opt_confirmed},
    {"emergency", no_argument, nullptr, opt_emergency},
    {"privacy", required_argument, nullptr, opt_privacy},
    {"mode", required_argument, nullptr, opt_mode},
    {"down", required_argument, nullptr, opt_down},
    {"up", required_argument, nullptr, opt_up},
    {"radio", required_argument, nullptr, opt_radio},
    {"position", required_argument, nullptr, opt_position},
    {"frames", required_argument, nullptr, opt_frames},
    {"page", required_argument, nullptr, opt_page},
    {"numeric-page", required_argument, nullptr, opt_numeric_page},
    {"tone-page", required_argument, nullptr, opt_tone_page},
    {"amplitude", required_argument, nullptr, opt_amplitude},
    {"offset", required_argument, nullptr, opt_offset},
    {"invert", no_argument, nullptr, opt_invert},
    {"snr", required_argument, nullptr, opt_snr},
    {"seed", required_argument, nullptr, opt_seed},
    {"ppm", required_argument, nullptr, opt_ppm},
    {"roll-off", required_argument, nullptr, opt_roll_off},
    {"tx-ppm", required_argument, nullptr, opt_tx_ppm},
    {"phase", required_argument, nullptr, opt_phase},
    {"clip", required_argument, nullptr, opt_clip},
    {"baud", required_argument, nullptr, opt_baud},
    {"square", no_argument, nullptr, opt_square},
    {nullptr, 0, nullptr, 0},
};

namespace {

// What one family of options made of a letter.
enum class taken { no, ok, bad };

taken result(bool ok) { return ok ? taken::ok : taken::bad; }

// Sets out to the value named by text among names; false if none.
template <typename T>
bool choose(const std::string &text, std::initializer_list<std::pair<const char *, T>> names, T &out) {
    for (const auto &[name, value] : names) {
        if (text == name) {
            out = value;
            return true;
        }
    }
    return false;
}

taken general_option(airmint_settings &s, int letter, const std::string &arg, std::string &error) {
    switch (letter) {
        case 'p':
            if (choose(arg,
                       {std::pair{"dmr", airmint_protocol::dmr}, std::pair{"ysf", airmint_protocol::ysf},
                        std::pair{"pocsag", airmint_protocol::pocsag}},
                       s.protocol))
                return taken::ok;
            error = "--protocol takes dmr, ysf or pocsag, not '" + arg + "'";
            return taken::bad;
        case 'o':
            if (choose(arg,
                       {std::pair{"baseband", airmint_output::baseband}, std::pair{"symbols", airmint_output::symbols},
                        std::pair{"bits", airmint_output::bits}},
                       s.output))
                return taken::ok;
            error = "--output takes baseband, symbols or bits, not '" + arg + "'";
            return taken::bad;
        case 't':
            s.target = arg;
            return taken::ok;
        case opt_source:
            s.source = arg;
            return taken::ok;
        case opt_voice:
            s.voice_path = arg;
            return taken::ok;
        default:
            return taken::no;
    }
}

bool parse_dmr_position(const std::string &arg, airmint_settings &s, std::string &error) {
    const std::size_t comma = arg.find(',');
    if (comma == std::string::npos || !parse_double(arg.substr(0, comma).c_str(), -90, 90, s.dmr_latitude) ||
        !parse_double(arg.substr(comma + 1).c_str(), -180, 180, s.dmr_longitude)) {
        error = "--position takes LATITUDE,LONGITUDE in degrees (-90..90, -180..180), not '" + arg + "'";
        return false;
    }
    s.has_dmr_position = true;
    return true;
}

// OP or OP/FID: kept until the call's addresses are known.
bool parse_csbk(const std::string &arg, airmint_settings &s, std::string &error) {
    const std::size_t slash = arg.find('/');
    int opcode = 0, feature_set = 0;
    std::string ignored;
    if (!parse_int_option(arg.substr(0, slash).c_str(), 0, 63, opt_csbk, opcode, ignored) ||
        (slash != std::string::npos &&
         !parse_int_option(arg.substr(slash + 1).c_str(), 0, 255, opt_csbk, feature_set, ignored))) {
        error = "--csbk takes OPCODE (0..63) or OPCODE/FEATURE_SET (0..255), not '" + arg + "'";
        return false;
    }
    s.csbks.push_back({opcode, feature_set});
    return true;
}

taken dmr_option(airmint_settings &s, int letter, const char *argument, std::string &error) {
    const std::string arg = argument ? argument : "";
    switch (letter) {
        case 's':
            return result(parse_int_option(argument, 0, 1, letter, s.dmr.call.slot, error));
        case opt_direct:
            s.dmr.call.group = false;
            return taken::ok;
        case opt_colour_code:
            return result(parse_int_option(argument, 0, 15, letter, s.dmr.colour_code, error));
        case opt_superframes:
            return result(parse_int_option(argument, 1, 10000, letter, s.dmr.call.superframes, error));
        case opt_other_call:
            s.dmr.other_call = true;
            return taken::ok;
        case opt_other_target:
            s.dmr.other_call = true;
            s.other_target = arg;
            return taken::ok;
        case opt_other_source:
            s.dmr.other_call = true;
            s.other_source = arg;
            return taken::ok;
        case opt_other_direct:
            s.dmr.other_call = true;
            s.dmr.other.group = false;
            return taken::ok;
        case opt_other_voice:
            s.dmr.other_call = true;
            s.other_voice_path = arg;
            return taken::ok;
        case opt_other_superframes:
            s.dmr.other_call = true;
            return result(parse_int_option(argument, 1, 10000, letter, s.dmr.other.superframes, error));
        case opt_other_delay:
            s.dmr.other_call = true;
            return result(parse_int_option(argument, 0, 10000, letter, s.dmr.other.delay, error));
        case opt_alias:
            s.alias = arg;
            return taken::ok;
        case opt_alias_format:
            if (choose(arg,
                       {std::pair{"7bit", dmr_encode::alias_format_7bit},
                        std::pair{"iso8859", dmr_encode::alias_format_iso8859},
                        std::pair{"utf8", dmr_encode::alias_format_utf8},
                        std::pair{"utf16", dmr_encode::alias_format_utf16}},
                       s.alias_format))
                return taken::ok;
            error = "--alias-format takes 7bit, iso8859, utf8 or utf16, not '" + arg + "'";
            return taken::bad;
        case opt_position:
            // A DMR position unless -p ysf came before it.
            if (s.protocol != airmint_protocol::dmr) return taken::no;
            return result(parse_dmr_position(arg, s, error));
        case opt_bad_rs:
            s.dmr.call.extras.bad_header_rs = true;
            return taken::ok;
        case opt_csbk:
            return result(parse_csbk(arg, s, error));
        case opt_no_voice:
            s.dmr.call.send_voice = false;
            return taken::ok;
        case opt_text:
            s.texts.push_back(arg);
            return taken::ok;
        case opt_text_format:
            if (arg == "udp" || arg == "iso8859" || arg == "utf8" || arg == "utf16be" || arg == "utf16le") {
                s.text_format = arg;
                return taken::ok;
            }
            error = "--text-format takes udp, iso8859, utf8, utf16be or utf16le, not '" + arg + "'";
            return taken::bad;
        case opt_location: {
            const std::size_t comma = arg.find(',');
            double latitude = 0, longitude = 0;
            if (comma == std::string::npos || !parse_double(arg.substr(0, comma).c_str(), -90, 90, latitude) ||
                !parse_double(arg.substr(comma + 1).c_str(), -180, 180, longitude)) {
                error = "--location takes LATITUDE,LONGITUDE in degrees (-90..90, -180..180), not '" + arg + "'";
                return taken::bad;
            }
            s.locations.push_back({latitude, longitude});
            return taken::ok;
        }
        case opt_data_rate:
            if (choose(arg, {std::pair{"half", 7}, std::pair{"three-quarter", 8}, std::pair{"one", 10}}, s.data_type))
                return taken::ok;
            error = "--data-rate takes half, three-quarter or one, not '" + arg + "'";
            return taken::bad;
        case opt_confirmed:
            s.confirmed = true;
            return taken::ok;
        case opt_emergency:
            s.dmr.call.service_options |= 0x80;
            return taken::ok;
        case opt_privacy: {
            const std::size_t colon = arg.find(':');
            int algorithm = 0, key = 0;
            std::string ignored;
            if (colon == std::string::npos ||
                !parse_int_option(arg.substr(0, colon).c_str(), 0, 255, opt_privacy, algorithm, ignored) ||
                !parse_int_option(arg.substr(colon + 1).c_str(), 0, 255, opt_privacy, key, ignored)) {
                error = "--privacy takes ALGORITHM:KEY_ID (0..255 each), not '" + arg + "'";
                return taken::bad;
            }
            s.dmr.call.service_options |= 0x40;
            s.dmr.call.extras.encrypted = true;
            s.dmr.call.extras.pi.algorithm = algorithm;
            s.dmr.call.extras.pi.key_id = key;
            return taken::ok;
        }
        default:
            return taken::no;
    }
}

bool parse_radio(const std::string &arg, int &radio, std::string &error) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(arg.c_str(), &end, 16);
    if (arg.empty() || errno != 0 || *end != 0 || v < 0 || v > 255) {
        error = "--radio takes a radio model code in hexadecimal, 00 to FF, not '" + arg + "'";
        return false;
    }
    radio = static_cast<int>(v);
    return true;
}

bool parse_position(const std::string &arg, airmint_settings &s, std::string &error) {
    const std::size_t comma = arg.find(',');
    uint8_t bytes[ysf_encode::position_bytes];
    if (comma == std::string::npos || !parse_double(arg.substr(0, comma).c_str(), -90, 90, s.latitude) ||
        !parse_double(arg.substr(comma + 1).c_str(), -180, 180, s.longitude)) {
        error = "--position takes LATITUDE,LONGITUDE in degrees (-90..90, -180..180), not '" + arg + "'";
        return false;
    }
    if (!ysf_encode::encode_position(s.latitude, s.longitude, bytes)) {
        error = "--position " + arg +
                " cannot be sent: a longitude of 180 degrees (to a hundredth of a minute) has no code";
        return false;
    }
    s.has_position = true;
    return true;
}

taken ysf_option(airmint_settings &s, int letter, const char *argument, std::string &error) {
    const std::string arg = argument ? argument : "";
    switch (letter) {
        case opt_mode:
            if (choose(arg,
                       {std::pair{"dn", ysf_encode::fich_dt_vd_mode2}, std::pair{"v1", ysf_encode::fich_dt_vd_mode1},
                        std::pair{"vw", ysf_encode::fich_dt_voice_full_rate}},
                       s.ysf_mode))
                return taken::ok;
            error = "--mode takes dn, v1 or vw, not '" + arg + "'";
            return taken::bad;
        case opt_down:
            s.down = arg;
            return taken::ok;
        case opt_up:
            s.up = arg;
            return taken::ok;
        case opt_frames:
            return result(parse_int_option(argument, 1, 36000, letter, s.frames, error));
        case opt_radio:
            note(s.ysf_dn_option, letter);
            return result(parse_radio(arg, s.radio, error));
        case opt_position:
            note(s.ysf_dn_option, letter);
            return result(parse_position(arg, s, error));
        default:
            return taken::no;
    }
}

taken pocsag_option(airmint_settings &s, int letter, const char *argument, std::string &error) {
    if (letter != opt_page && letter != opt_numeric_page && letter != opt_tone_page) return taken::no;
    pocsag_page page;
    const pocsag_text_kind kind = letter == opt_page ? pocsag_text_kind::alphanumeric : pocsag_text_kind::numeric;
    const bool parsed = letter == opt_tone_page ? parse_tone_page(argument ? argument : "", page, error)
                                                : parse_page(argument ? argument : "", kind, page, error);
    if (!parsed) return taken::bad;
    s.pages.push_back(page);
    return taken::ok;
}

taken channel_option(airmint_settings &s, int letter, const char *argument, std::string &error) {
    channel_settings &c = s.channel;
    switch (letter) {
        case opt_amplitude:
            return result(parse_double_option(argument, 1e-6, 1e6, letter, c.amplitude, error));
        case opt_offset:
            return result(parse_double_option(argument, -1e6, 1e6, letter, c.offset, error));
        case opt_invert:
            c.invert = true;
            return taken::ok;
        case opt_snr:
            c.noisy = true;
            return result(parse_double_option(argument, -30, 200, letter, c.snr_db, error));
        case opt_seed: {
            long long v;
            if (!parse_long(argument, 0, 9223372036854775807LL, v)) {
                error = "--seed takes a whole number from 0 up, not '" + std::string(argument ? argument : "") + "'";
                return taken::bad;
            }
            c.seed = static_cast<uint64_t>(v);
            return taken::ok;
        }
        case opt_ppm:
            return result(parse_double_option(argument, -100000, 100000, letter, c.ppm, error));
        case opt_roll_off:
            note(s.four_level_option, letter);
            return result(parse_double_option(argument, 0.01, 1.0, letter, c.roll_off, error));
        case opt_tx_ppm:
            return result(parse_double_option(argument, -100000, 100000, letter, c.tx_ppm, error));
        case opt_phase:
            if (!parse_double_option(argument, 0.0, 1.0, letter, c.phase, error)) return taken::bad;
            if (c.phase < 1.0) return taken::ok;
            error = "--phase takes a fraction of a symbol below 1, not '" + std::string(argument) + "'";
            return taken::bad;
        case opt_clip:
            return result(parse_double_option(argument, 1e-6, 1e6, letter, c.clip, error));
        case opt_baud:
            note(s.pocsag_option, letter);
            if (choose(std::string(argument ? argument : ""),
                       {std::pair{"512", 512}, std::pair{"1200", 1200}, std::pair{"2400", 2400}}, c.bit_rate))
                return taken::ok;
            error = "--baud takes 512, 1200 or 2400, not '" + std::string(argument ? argument : "") + "'";
            return taken::bad;
        case opt_square:
            note(s.pocsag_option, letter);
            c.square = true;
            return taken::ok;
        default:
            return taken::no;
    }
}

}  // namespace

bool airmint_option(airmint_settings &s, int letter, const char *argument, std::string &error) {
    // Each family notes the first of its options given, for the checks
    // across options in airmint_finish.
    taken t = general_option(s, letter, argument ? argument : "", error);
    if (t == taken::no && (t = dmr_option(s, letter, argument, error)) != taken::no) note(s.dmr_option, letter);
    if (t == taken::no && (t = ysf_option(s, letter, argument, error)) != taken::no) note(s.ysf_option, letter);
    if (t == taken::no && (t = pocsag_option(s, letter, argument, error)) != taken::no) note(s.pocsag_option, letter);
    if (t == taken::no && (t = channel_option(s, letter, argument, error)) != taken::no) note(s.channel_option, letter);
    if (t == taken::no) error.clear();  // '?': the option parser has said what is wrong
    return t == taken::ok;
}

bool airmint_finish(airmint_settings &s, std::string &error) {
    const bool four_level = s.protocol != airmint_protocol::pocsag;
    if (s.output == airmint_output::symbols && !four_level) {
        error = "POCSAG is sent as bits: use -o bits";
        return false;
    }
    if (s.output == airmint_output::bits && four_level) {
        error = "DMR and System Fusion are sent as symbols: use -o symbols";
        return false;
    }
    if (s.output != airmint_output::baseband && !s.channel_option.empty()) {
        error = s.channel_option + " acts on baseband output only";
        return false;
    }
    if (four_level && !s.pocsag_option.empty()) {
        error = s.pocsag_option + " is a POCSAG option; add -p pocsag";
        return false;
    }
    switch (s.protocol) {
        case airmint_protocol::dmr:
            return finish_dmr(s, error);
        case airmint_protocol::ysf:
            return finish_ysf(s, error);
        case airmint_protocol::pocsag:
            return finish_pocsag(s, error);
    }
    return false;
}

ysf_encode::transmission_plan airmint_ysf_plan(const airmint_settings &s) {
    ysf_encode::transmission_plan plan;
    plan.data_type = s.ysf_mode;
    std::string ignored;
    ysf_call_sign(s.target, "target", "ALL", plan.calls.target, ignored);
    ysf_call_sign(s.source, "source", "N0CALL", plan.calls.source, ignored);
    ysf_call_sign(s.down, "down", "", plan.calls.down, ignored);
    ysf_call_sign(s.up, "up", "", plan.calls.up, ignored);
    plan.radio_model = static_cast<uint8_t>(s.radio);
    plan.has_position = s.has_position;
    plan.latitude = s.latitude;
    plan.longitude = s.longitude;
    plan.communication_frames = s.frames;
    plan.voice = s.ysf_voice;
    return plan;
}

bool airmint_stream(const airmint_settings &s, std::vector<uint8_t> &stream, std::string &error) {
    switch (s.protocol) {
        case airmint_protocol::dmr:
            stream = dmr_channel_symbols(s.dmr);
            return true;
        case airmint_protocol::ysf: {
            const ysf_encode::transmission_plan plan = airmint_ysf_plan(s);
            if (!ysf_stream_symbols(plan, stream)) {
                error = "the System Fusion encoder refuses this transmission";
                return false;
            }
            return true;
        }
        case airmint_protocol::pocsag:
            stream = pocsag_stream_bits(s.pages);
            return true;
    }
    return false;
}

bool airmint_write(const airmint_settings &s, FILE *out, std::string &error) {
    std::vector<uint8_t> stream;
    if (!airmint_stream(s, stream, error)) return false;
    bool written;
    if (s.output != airmint_output::baseband) {
        written = std::fwrite(stream.data(), 1, stream.size(), out) == stream.size() && std::fflush(out) == 0;
    } else {
        baseband_writer writer;
        if (s.protocol == airmint_protocol::pocsag)
            start_two_level(writer, stream, s.channel);
        else
            start_four_level(writer, stream, s.channel);
        written = write_baseband(writer, out);
    }
    if (!written) {
        const int cause = errno;
        error = std::string("cannot write the output: ") + std::strerror(cause);
        errno = cause;
    }
    return written;
}
