// SPDX-License-Identifier: MIT
// Writes the seed inputs of the harnesses, built by the fixture encoders:
// DMR calls, System Fusion transmissions of the three voice modes, POCSAG
// pages, their codec frame streams, and baseband of the symbols and bits.
// Usage: fuzz_seeds DIRECTORY (makes DIRECTORY/<harness>/<seed>)
//        fuzz_seeds --tessavox-records SYMBOLS SEED (a symbol file as the
//        tessavox harness's records, with a slot-selection message)

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "channel_builder.h"
#include "pocsag_encode.h"
#include "ysf_encode.h"

namespace {

using bytes = std::vector<uint8_t>;

std::string root;

void write_seed(const std::string &harness, const std::string &name, const bytes &data) {
    const std::string dir = root + "/" + harness;
    mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return;
    }
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

// A seed of a harness whose first byte picks the settings or read size.
bytes with_header(uint8_t header, const bytes &body) {
    bytes seed{header};
    seed.insert(seed.end(), body.begin(), body.end());
    return seed;
}

void append_floats(bytes &out, const std::vector<float> &samples) {
    const auto *p = reinterpret_cast<const uint8_t *>(samples.data());
    out.insert(out.end(), p, p + samples.size() * sizeof(float));
}

// The baseband of a symbol stream: each symbol's level held for period samples.
std::vector<float> baseband(const bytes &symbols, const std::vector<float> &level_of, int period) {
    std::vector<float> out;
    out.reserve(symbols.size() * static_cast<std::size_t>(period));
    for (uint8_t s : symbols)
        for (int i = 0; i < period; ++i) out.push_back(level_of[s % level_of.size()]);
    return out;
}

// Levels of the dibits 0..3: +1, +3, -1, -3.
const std::vector<float> four_level_of = {1.0f, 3.0f, -1.0f, -3.0f};
const std::vector<float> two_level_of = {-1.0f, 1.0f};

// The tessavox harness's records: symbols in full 128-byte blocks, with the
// control messages given by the symbol count before which they are sent.
bytes tessavox_records(const bytes &symbols, const std::vector<std::pair<std::size_t, std::string>> &control) {
    bytes out;
    std::size_t next = 0;
    for (std::size_t at = 0; at < symbols.size(); at += 128) {
        while (next < control.size() && control[next].first <= at) {
            const std::string &m = control[next++].second;
            out.push_back(static_cast<uint8_t>(0x80 | (m.size() - 1)));
            out.insert(out.end(), m.begin(), m.end());
        }
        const std::size_t n = symbols.size() - at < 128 ? symbols.size() - at : 128;
        out.push_back(static_cast<uint8_t>(n - 1));
        out.insert(out.end(), symbols.begin() + static_cast<long>(at), symbols.begin() + static_cast<long>(at + n));
    }
    return out;
}

bytes dmr_call(int slot, bool group, bool mobile, int frames) {
    dmr_encode::call c;
    c.slot = slot;
    c.group = group;
    c.mobile = mobile;
    c.target = group ? 91 : 2620001;
    c.source = 2624123;
    return dmr_encode::call_symbols(c, dmr_encode::test_pattern_frames(frames));
}

ysf_encode::transmission ysf_call(uint8_t data_type, int frames, bool position) {
    ysf_encode::transmission_plan plan;
    plan.data_type = data_type;
    plan.calls.target = ysf_encode::call_sign("ALL");
    plan.calls.source = ysf_encode::call_sign("DL1ABC");
    plan.calls.down = ysf_encode::call_sign("DB0XYZ");
    plan.calls.up = ysf_encode::call_sign("DB0UVW");
    plan.communication_frames = frames;
    plan.has_position = position;
    plan.latitude = 48.137;
    plan.longitude = 11.575;
    ysf_encode::transmission t;
    if (!ysf_encode::build_transmission(plan, t)) std::fprintf(stderr, "System Fusion plan not built\n");
    return t;
}

bytes pocsag_bits() {
    std::vector<pocsag_page> pages(3);
    pages[0].address = 1234567;
    pages[0].text = "0123456789";
    pages[1].address = 8;
    pages[1].function = 3;
    pages[1].kind = pocsag_text_kind::alphanumeric;
    pages[1].text = "Hello pager";
    pages[2].address = 2097151;
    pages[2].function = 3;
    pages[2].kind = pocsag_text_kind::alphanumeric;
    pages[2].text = std::string(90, 'x');  // longer than a page holds
    return pocsag_transmission(pages, 64);
}

void dmr_seeds() {
    const bytes group = dmr_call(0, true, false, 18);
    const bytes direct = dmr_call(1, false, true, 18);
    write_seed("tessavox", "group_call", tessavox_records(group, {}));
    write_seed("tessavox", "direct_call_filtered", tessavox_records(direct, {{512, "1\n"}, {2048, "3\n"}}));
    bytes both = group;
    both.insert(both.end(), direct.begin(), direct.end());
    write_seed("tessavox", "two_calls_control", tessavox_records(both, {{0, "2\n"}, {1024, "0\nx"}, {3000, "3\n"}}));

    bytes samples;
    append_floats(samples, baseband(bytes(group.begin(), group.begin() + 600), four_level_of, 10));
    write_seed("quadslice", "dmr_baseband", with_header(255, samples));
}

void ysf_seeds() {
    const uint8_t kinds[3] = {ysf_encode::fich_dt_vd_mode1, ysf_encode::fich_dt_vd_mode2,
                              ysf_encode::fich_dt_voice_full_rate};
    for (uint8_t dt : kinds) {
        const ysf_encode::transmission t = ysf_call(dt, dt == ysf_encode::fich_dt_vd_mode2 ? 10 : 3, true);
        write_seed("orbavox", "data_type_" + std::to_string(dt), with_header(127, t.symbols));
        bytes records(t.voice_records.begin(),
                      t.voice_records.begin() + static_cast<long>(std::min<std::size_t>(t.voice_records.size(), 400)));
        write_seed("voxloom", "tagged_data_type_" + std::to_string(dt), with_header(1 | (dt << 2), records));
        write_seed("voxloom", "tagged_float_data_type_" + std::to_string(dt), with_header(3, records));
    }
    // A record of unknown kind among known ones, and the stream cut inside a frame.
    const ysf_encode::transmission mixed = ysf_call(ysf_encode::fich_dt_voice_full_rate, 2, false);
    bytes records{7, 0, 1, 2};
    records.insert(records.end(), mixed.voice_records.begin(), mixed.voice_records.begin() + 38);
    records.push_back(4);
    records.insert(records.end(), 20, 0x55);
    records.push_back(3);
    records.insert(records.end(), 9, 0xAA);
    write_seed("voxloom", "tagged_unknown_kind_cut", with_header(1, records));
}

void plain_voice_seeds() {
    bytes frames;
    for (const auto &f : dmr_encode::test_pattern_frames(6)) frames.insert(frames.end(), f.begin(), f.end());
    write_seed("voxloom", "plain", with_header(0, frames));
    frames.resize(frames.size() - 5);
    write_seed("voxloom", "plain_float_cut", with_header(2, frames));
}

void pocsag_seeds() {
    const bytes bits = pocsag_bits();
    write_seed("pagewick", "pages", with_header(127, bits));
    bytes noisy = bits;
    for (std::size_t i = 100; i < noisy.size(); i += 97) noisy[i] ^= 1;
    for (std::size_t i = 50; i < noisy.size(); i += 331) noisy[i] = static_cast<uint8_t>(i);
    write_seed("pagewick", "pages_with_errors", with_header(31, noisy));

    bytes samples;
    append_floats(samples, baseband(bytes(bits.begin(), bits.begin() + 240), two_level_of, 40));
    write_seed("duoslice", "pocsag_baseband", with_header(255, samples));
    write_seed("duoslice", "pocsag_baseband_inverted", with_header(100, samples));
}

void sample_seeds() {
    constexpr float pi = 3.14159265f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    std::vector<float> tone(1024);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.2f + 0.7f * std::sin(2 * pi * 1000.0f * static_cast<float>(i) / 8000.0f);
    std::vector<float> spoilt = tone;
    spoilt[300] = nan;
    spoilt[500] = inf;
    spoilt[501] = -inf;
    spoilt[700] = 1e-42f;
    spoilt[800] = 3e38f;

    for (const char *harness : {"pulsesieve", "zeroglide"}) {
        bytes a, b;
        append_floats(a, tone);
        append_floats(b, spoilt);
        write_seed(harness, "tone", with_header(255, a));
        write_seed(harness, "tone_spoilt_small_blocks", with_header(16, b));
    }
    bytes spoilt_baseband;
    append_floats(spoilt_baseband, spoilt);
    write_seed("quadslice", "spoilt", with_header(200, spoilt_baseband));
    write_seed("duoslice", "spoilt", with_header(77, spoilt_baseband));

    std::vector<float> speech(tone.begin(), tone.begin() + 480);
    bytes floats, shorts;
    append_floats(floats, speech);
    for (float v : speech) {
        const auto s = static_cast<int16_t>(v * 32767.0f);
        shorts.push_back(static_cast<uint8_t>(s & 0xFF));
        shorts.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    shorts.push_back(0x00);  // full scale either way, and a cut-short sample
    shorts.push_back(0x80);
    shorts.push_back(0xFF);
    shorts.push_back(0x7F);
    shorts.push_back(0x01);
    write_seed("speechsieve", "int16_tone", with_header(62, shorts));
    write_seed("speechsieve", "float_tone", with_header(63, floats));
    bytes spoilt_speech;
    append_floats(spoilt_speech, std::vector<float>(spoilt.begin() + 280, spoilt.begin() + 820));
    write_seed("speechsieve", "float_spoilt", with_header(9, spoilt_speech));
}

bytes text_seed(std::initializer_list<const char *> lines, const char *header = nullptr) {
    bytes out;
    if (header) out.insert(out.end(), header, header + std::strlen(header));
    for (const char *line : lines) {
        out.insert(out.end(), line, line + std::strlen(line));
        out.push_back('\n');
    }
    return out;
}

// The front door's inputs: name lists, file-name templates, decoder lines.
void name_list_seeds() {
    write_seed("names", "radioid_users",
               text_seed({"RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY",
                          "2624123,DL1ABC,Hans,Muster,Muenchen,Bayern,Germany",
                          "2620001,DB0XYZ,\"Repeater, \"\"Olympia\"\"\",,Muenchen,Bayern,Germany",
                          "3100001,N0CALL,J\xC3\xBCrgen,\"two\nlines\",Denver,Colorado,United States\r",
                          "1234567,W1AW/P,,,,,", "not-a-number,X,Y,,,,", "", "9999999,,,,,,"},
                         "\xEF\xBB\xBF"));
    write_seed("names", "talkgroups",
               text_seed({"9,Local", "91,World-wide", "262,Deutschland",
                          "2621,Bayern \xE2\x80\x93 S\xC3\xBC"
                          "d",
                          "4000,\"Disconnect, all\"", "x,broken", "3100,\"unclosed"}));
    write_seed("names", "capcodes_crlf",
               text_seed({"1234567,Fire brigade\r", "8,Test pager\r",
                          "2097151,\xFF\xFE"
                          " bad\r"}));
}

// One string as FuzzedDataProvider::ConsumeRandomLengthString reads it: a
// backslash doubled, and a backslash before another byte ending the string.
void provider_string(bytes &out, const std::string &text) {
    for (char c : text) {
        out.push_back(static_cast<uint8_t>(c));
        if (c == '\\') out.push_back('\\');
    }
    out.push_back('\\');
    out.push_back('n');
}

// The provider's numbers and choices, taken from the end of the input.
void provider_tail(bytes &out, std::size_t count, unsigned step) {
    for (std::size_t k = 0; k < count; ++k) out.push_back(static_cast<uint8_t>(k * step + 7));
}

void file_name_seeds() {
    // The template, then the event's received text: the default template,
    // full ones, and refused ones.
    const char *templates[] = {"",
                               "{date}_{time}_{target}",
                               "{protocol}-{frequency}MHz-slot{slot}-{source}-to-{target}",
                               "..{source_name}_{alias}_{radio}_{station}",
                               "{seconds}{type}{target_name}",
                               "{nofield}",
                               "a/b{date}",
                               "{date"};
    int n = 0;
    for (const char *t : templates) {
        bytes seed;
        provider_string(seed, t);
        provider_string(seed, "2026-12-11T11:19:35.480Z");
        provider_string(seed, "group");
        provider_string(seed, "DL1ABC/../..\\\x01\xC2\x85\xE2\x80\xAE:*?");
        provider_string(seed, "ALL       ");
        provider_string(seed, "Hans \xF0\x9F\x93\xBB \xFF\xC0\xAF");
        provider_string(seed, "FT-70D");
        provider_string(seed, "J\xC3\xBCrgen");
        provider_string(seed, std::string(250, 'x'));
        const char station[] = "station \"one\" | <two>";
        seed.insert(seed.end(), station, station + sizeof station - 1);
        provider_tail(seed, 48, 37);
        write_seed("file_name", "template_" + std::to_string(n++), seed);
    }
}

void event_form_seeds() {
    // Received text of every kind in the provider's string fields: quotes and
    // backslashes, bad UTF-8, controls, bidirectional controls, a line
    // separator, page fill.
    const std::string pieces[] = {"DL1ABC \"Hans\" \\", "\xC3\xA4\xFF\xC0\xAF\xED\xA0\x80\x1B[31m\r\n\x7F",
                                  "\xE2\x80\xAE"
                                  "evil\xE2\x80\xA8\xC2\x85",
                                  std::string("Meet at 7;\0\x03", 12)};
    bytes seed;
    for (int field = 0; field < 24; ++field) provider_string(seed, pieces[field % 4]);
    provider_tail(seed, 160, 53);
    write_seed("event_forms", "received_text", seed);
    bytes numbers;
    provider_tail(numbers, 200, 255);
    write_seed("event_forms", "extremes", numbers);
}

void tracking_seeds() {
    // The first byte is the duplicate window (1 + its low 6 bits, seconds);
    // each line's length modulo 8 is the time (a quarter second a step)
    // since the line before.
    write_seed(
        "tracking", "dmr_calls",
        text_seed({"protocol:DMR;slot:0;sync:voice;", "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;",
                   "protocol:DMR;slot:1;sync:voice;type:direct;source:2624123;target:2620001;",
                   "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;alias:DL1ABC Hans;",
                   "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;alias:DL1ABC\\x3B "
                   "Hans\\x0A\\x5C;lat:48.137155;lon:11.575491;",
                   "protocol:DMR;slot:1;sync:data;", "protocol:DMR;slot:0;sync:voice;type:group;source:2002;target:9;",
                   "", "", "", "", "protocol:DMR;slot:0;sync:data;"},
                  "\x1D"));
    write_seed(
        "tracking", "ysf_call",
        text_seed({"protocol:YSF;source:DL1ABC    ;target:ALL       ;", "protocol:YSF;mode:DN;source:DL1ABC    ;",
                   "protocol:YSF;mode:DN;source:DL1ABC    ;target:ALL       ;",
                   "protocol:YSF;mode:DN;source:DL1ABC    ;target:ALL       ;down:DB0XYZ    ;",
                   "protocol:YSF;mode:DN;source:DL1ABC    ;target:ALL       ;down:DB0XYZ    ;up:DB0UVW    ;"
                   "lat:51.501999;lon:-0.125000;radio:FT-70D;",
                   "protocol:YSF;mode:VW;source:DL1ABC    ;target:ALL       ;lat:91;lon:nan;", "protocol:YSF;"},
                  "\x05"));
    write_seed("tracking", "pages_repeated",
               text_seed({"address:1234567;message:Meet at 7", "address:1234567;message:Meet at 7",
                          "address:671968;message:", "address:1234;function:3;message:Hello;\\x5C;\\x0D\\x0A\x03\x04",
                          "address:1234567;message:Meet at 7", "address:9999999;message:too far",
                          "address:8;function:4;message:bad function", "message:no address;address:1",
                          "address:1234;function:3;message:Hello;\\x5C;\\x0D\\x0A\x03\x04 ",
                          "address:1234567;message:Meet at 7"},
                         "\x3B"));
}

// The receiver's input: discriminator samples at 48000/s (DMR: 10 samples a
// symbol; POCSAG 1200 bit/s: 40 samples a bit).
void receiver_seeds() {
    const bytes call = dmr_call(0, true, false, 6);
    bytes dmr;
    append_floats(dmr, baseband(call, four_level_of, 10));
    write_seed("receiver", "dmr_group_call", with_header(0, dmr));
    write_seed("receiver", "dmr_group_call_exact_speech", with_header(3 | (17 << 2), dmr));

    std::vector<pocsag_page> pages(1);
    pages[0].address = 1234567;
    pages[0].function = 3;
    pages[0].kind = pocsag_text_kind::alphanumeric;
    pages[0].text = "Meet at 7";
    const bytes bits = pocsag_transmission(pages, 32);
    bytes pocsag;
    append_floats(pocsag, baseband(bits, two_level_of, 40));
    write_seed("receiver", "pocsag_1200", with_header(1 << 2, pocsag));
    write_seed("receiver", "pocsag_1200_exact", with_header(1 | (40 << 2), pocsag));

    std::vector<float> spoilt(4000, 0.5f);
    for (std::size_t k = 0; k < spoilt.size(); k += 7) spoilt[k] = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t k = 3; k < spoilt.size(); k += 11) spoilt[k] = -std::numeric_limits<float>::infinity();
    bytes nan;
    append_floats(nan, spoilt);
    write_seed("receiver", "not_finite", with_header(2, nan));
}

bool read_file(const char *path, bytes &out) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--tessavox-records") == 0) {
        bytes symbols;
        if (!read_file(argv[2], symbols)) {
            std::perror(argv[2]);
            return 1;
        }
        const bytes records = tessavox_records(symbols, {{symbols.size() / 2, "2\n"}});
        FILE *f = std::fopen(argv[3], "wb");
        if (!f) {
            std::perror(argv[3]);
            return 1;
        }
        std::fwrite(records.data(), 1, records.size(), f);
        std::fclose(f);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIRECTORY | fuzz_seeds --tessavox-records SYMBOLS SEED\n");
        return 2;
    }
    root = argv[1];
    mkdir(root.c_str(), 0755);
    dmr_seeds();
    ysf_seeds();
    plain_voice_seeds();
    pocsag_seeds();
    sample_seeds();
    name_list_seeds();
    file_name_seeds();
    event_form_seeds();
    tracking_seeds();
    receiver_seeds();
    return 0;
}
