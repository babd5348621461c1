// SPDX-License-Identifier: MIT
// zelvane end to end: real processes, real pipes, files made by libsndfile,
// signals made by airmint. Most runs use the exact slicers' path (--exact)
// and the default path alike; each decodes a short composite transmission.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "testing/process.h"

namespace {

const std::string zelvane = ZELVANE_PATH;

std::vector<float> airmint(const std::vector<std::string> &args) {
    program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return from_bytes<float>(r.out);
}

std::vector<float> silence(double seconds) { return std::vector<float>(static_cast<size_t>(seconds * 48000), 0.0f); }

void append(std::vector<float> &to, const std::vector<float> &more) { to.insert(to.end(), more.begin(), more.end()); }

// DMR group call 2001 -> 9 in slot 0, a System Fusion call from N0CALL with
// a position, two POCSAG pages at 1200 bits/s, one at 512 and one at 2400;
// half a second apart.
std::vector<float> composite(bool invert, double amplitude = 1.0) {
    std::vector<std::string> channel = {"--snr", "30", "--amplitude", std::to_string(amplitude)};
    if (invert) channel.push_back("--invert");
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), channel.begin(), channel.end());
        return airmint(args);
    };
    std::vector<float> s = silence(0.3);
    append(s, with({"-p", "dmr", "--source", "2001", "--target", "9", "--superframes", "2", "--seed", "1"}));
    append(s, silence(0.5));
    append(s, with({"-p", "ysf", "--source", "N0CALL", "--target", "ALL", "--position", "51.5,-0.125", "--seed", "2"}));
    append(s, silence(0.5));
    append(s, with({"-p", "pocsag", "--page", "1234567:Hello from airmint", "--numeric-page", "1234:5551234", "--seed",
                    "3"}));
    append(s, silence(0.5));
    append(s, with({"-p", "pocsag", "--baud", "512", "--page", "1000512:Slow page", "--seed", "4"}));
    append(s, silence(0.5));
    append(s, with({"-p", "pocsag", "--baud", "2400", "--page", "1002400:Fast page", "--seed", "5"}));
    append(s, silence(0.3));
    return s;
}

std::vector<float> resample(const std::vector<float> &in, double from, double to) {
    std::vector<float> out(static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * to / from)) + 16);
    size_t done = 0;
    soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t e =
        soxr_oneshot(from, to, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &done, nullptr, &q, nullptr);
    EXPECT_EQ(e, nullptr);
    out.resize(done);
    return out;
}

// Writes samples (at rate, no resampling: a slower or faster rate plays the
// transmission slower or faster) as a sound file of the given format.
void write_sound(const std::string &path, const std::vector<float> &samples, int rate, int format, int channels = 1) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // clip as a receiver's converter does, not wrap
    std::vector<float> frames;
    for (float v : samples)
        for (int c = 0; c < channels; ++c)
            frames.push_back(c == 0 ? v : 0.9f * std::sin(static_cast<float>(frames.size())));
    sf_writef_float(f, frames.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
}

// FM-modulates baseband (48000/s, outer level ±1) into complex IQ at rate,
// deviation_hz per unit, as an SDR would record the channel.
std::vector<std::pair<float, float>> fm_modulate(const std::vector<float> &baseband, double rate, double deviation_hz) {
    std::vector<float> up = resample(baseband, 48000, rate);
    std::vector<std::pair<float, float>> iq;
    double phase = 0.3;
    for (float v : up) {
        phase += 2 * std::numbers::pi * deviation_hz * v / rate;
        iq.emplace_back(static_cast<float>(std::cos(phase)), static_cast<float>(std::sin(phase)));
    }
    return iq;
}

std::string iq_bytes(const std::vector<std::pair<float, float>> &iq, const std::string &format) {
    std::string out;
    for (auto [i, q] : iq) {
        if (format == "cu8") {
            out += static_cast<char>(static_cast<uint8_t>(std::lround(127.5 + 100 * i)));
            out += static_cast<char>(static_cast<uint8_t>(std::lround(127.5 + 100 * q)));
        } else if (format == "cs16") {
            int16_t v[2] = {static_cast<int16_t>(std::lround(20000 * i)), static_cast<int16_t>(std::lround(20000 * q))};
            out.append(reinterpret_cast<const char *>(v), 4);
        } else {
            float v[2] = {i, q};
            out.append(reinterpret_cast<const char *>(v), 8);
        }
    }
    return out;
}

std::string s16_bytes(const std::vector<float> &samples) {
    std::vector<int16_t> v;
    for (float s : samples) v.push_back(static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767)));
    return as_bytes(v);
}

// A line without the wall-clock time that events of live input carry
// (",\"utc\":\"...\""), which differs from run to run.
std::string without_utc(std::string line) {
    size_t at = line.find(",\"utc\":\"");
    if (at == std::string::npos) return line;
    size_t end = line.find('"', at + 8);
    return end == std::string::npos ? line : line.erase(at, end + 1 - at);
}

// The events of calls and pages, one a line. The reports of a signal
// acquired and lost, which come with every transmission, are left out
// (SignalEventsOncePerTransmission checks them).
std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0, nl;
    while ((nl = text.find('\n', start)) != std::string::npos) {
        std::string line = text.substr(start, nl - start);
        start = nl + 1;
        if (line.find("\"event\":\"signal\"") != std::string::npos || line.find("  signal  ") != std::string::npos)
            continue;
        lines.push_back(without_utc(line));
    }
    return lines;
}

// The JSON lines that contain every one of the parts.
std::vector<std::string> events_with(const std::string &out, const std::vector<std::string> &parts) {
    std::vector<std::string> found;
    for (const std::string &line : lines_of(out)) {
        bool all = true;
        for (const std::string &p : parts) all = all && line.find(p) != std::string::npos;
        if (all) found.push_back(line);
    }
    return found;
}

// The number after "key": in a JSON line.
double json_number(const std::string &line, const std::string &key) {
    size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return NAN;
    return std::atof(line.c_str() + at + key.size() + 3);
}

// What the composite transmission must give, once each: the DMR call, its
// end, the System Fusion call with its position, its end, and both pages.
// With check_times, also the times of the events and their order.
void expect_composite_events(const program_result &r, const std::string &what, bool check_times = true) {
    SCOPED_TRACE(what);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(r.timed_out);
    auto dmr = events_with(r.out, {"\"protocol\":\"DMR\",\"event\":\"call\"", "\"slot\":1", "\"type\":\"group\"",
                                   "\"source\":2001,\"target\":9"});
    auto dmr_end = events_with(r.out, {"\"protocol\":\"DMR\",\"event\":\"call-end\"", "\"source\":2001"});
    auto ysf =
        events_with(r.out, {"\"protocol\":\"YSF\",\"event\":\"call\"", "\"source\":\"N0CALL\",\"target\":\"ALL\""});
    auto ysf_end = events_with(r.out, {"\"protocol\":\"YSF\",\"event\":\"call-end\""});
    auto page = events_with(r.out, {"\"protocol\":\"POCSAG\",\"event\":\"page\"", "\"baud\":1200",
                                    "\"address\":1234567,\"function\":3,\"message\":\"Hello from airmint\""});
    auto numeric = events_with(r.out, {"\"address\":1234,\"function\":0,\"message\":\"5551234"});
    auto slow = events_with(r.out, {"\"baud\":512,\"address\":1000512,", "\"message\":\"Slow page\""});
    auto fast = events_with(r.out, {"\"baud\":2400,\"address\":1002400,", "\"message\":\"Fast page\""});
    ASSERT_EQ(dmr.size(), 1u) << r.out;
    ASSERT_EQ(dmr_end.size(), 1u) << r.out;
    ASSERT_GE(ysf.size(), 1u) << r.out;
    ASSERT_EQ(ysf_end.size(), 1u) << r.out;
    ASSERT_EQ(page.size(), 1u) << r.out;
    ASSERT_EQ(numeric.size(), 1u) << r.out;
    ASSERT_EQ(slow.size(), 1u) << r.out;
    ASSERT_EQ(fast.size(), 1u) << r.out;
    EXPECT_EQ(lines_of(r.out).size(), 7 + ysf.size()) << r.out;  // nothing else, nothing twice
    if (!check_times) return;
    // Times in seconds of the transmission: DMR first (after 0.3 s of
    // silence, within its 1 s), then System Fusion, then the pages.
    double t_dmr = json_number(dmr[0], "time"), t_dmr_end = json_number(dmr_end[0], "time");
    double t_ysf = json_number(ysf[0], "time"), t_page = json_number(page[0], "time");
    EXPECT_GT(t_dmr, 0.3);
    EXPECT_LT(t_dmr, 1.0);
    EXPECT_GT(t_dmr_end, t_dmr + 0.4);
    EXPECT_NEAR(json_number(dmr_end[0], "duration"), t_dmr_end - t_dmr, 0.002);
    EXPECT_GT(t_ysf, t_dmr_end + 0.3);
    EXPECT_GT(t_page, json_number(ysf_end[0], "time") + 0.3);
    EXPECT_GT(json_number(slow[0], "time"), t_page + 0.5);
    EXPECT_GT(json_number(fast[0], "time"), json_number(slow[0], "time") + 0.5);
    // The events come out in the order of the input.
    double last = 0;
    for (const std::string &line : lines_of(r.out)) {
        EXPECT_GE(json_number(line, "time"), last) << r.out;
        last = json_number(line, "time");
    }
    EXPECT_NE(ysf.back().find("\"lat\":51.500000,\"lon\":-0.125000"), std::string::npos) << ysf.back();
}

class ZelvaneTest : public ::testing::Test {
   protected:
    void SetUp() override { dir = make_temp_dir(); }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

// Every input form, normal and exact path: the same events.
struct input_case {
    const char *name;
    std::function<std::pair<std::vector<std::string>, std::string>(const std::string &dir, const std::vector<float> &)>
        make;  // arguments and standard input
};

const input_case input_cases[] = {
    {"wav48000",
     [](const std::string &d, const std::vector<float> &s) {
         write_sound(d + "/in.wav", s, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
         return std::pair{std::vector<std::string>{d + "/in.wav"}, std::string()};
     }},
    {"wav44100_stereo",
     [](const std::string &d, const std::vector<float> &s) {
         write_sound(d + "/in.wav", resample(s, 48000, 44100), 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2);
         return std::pair{std::vector<std::string>{d + "/in.wav"}, std::string()};
     }},
    {"wav32000_float",
     [](const std::string &d, const std::vector<float> &s) {
         write_sound(d + "/in.wav", resample(s, 48000, 32000), 32000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
         return std::pair{std::vector<std::string>{d + "/in.wav"}, std::string()};
     }},
    {"wav22050",
     [](const std::string &d, const std::vector<float> &s) {
         write_sound(d + "/in.wav", resample(s, 48000, 22050), 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
         return std::pair{std::vector<std::string>{d + "/in.wav"}, std::string()};
     }},
    {"flac22050",
     [](const std::string &d, const std::vector<float> &s) {
         write_sound(d + "/in.flac", resample(s, 48000, 22050), 22050, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
         return std::pair{std::vector<std::string>{d + "/in.flac"}, std::string()};
     }},
    {"s16_stdin",
     [](const std::string &, const std::vector<float> &s) {
         return std::pair{std::vector<std::string>{"--format", "s16", "--rate", "44100"},
                          s16_bytes(resample(s, 48000, 44100))};
     }},
    {"f32_stdin",
     [](const std::string &, const std::vector<float> &s) {
         return std::pair{std::vector<std::string>{"-f", "f32", "-r", "48000", "-"}, as_bytes(s)};
     }},
    {"cu8_240k",
     [](const std::string &, const std::vector<float> &s) {
         return std::pair{std::vector<std::string>{"--format", "cu8", "--rate", "240000"},
                          iq_bytes(fm_modulate(s, 240000, 1944), "cu8")};
     }},
    {"cs16_240k_file",
     [](const std::string &d, const std::vector<float> &s) {
         std::ofstream(d + "/in.cs16") << iq_bytes(fm_modulate(s, 240000, 2500), "cs16");
         return std::pair{std::vector<std::string>{"--format", "cs16", "--rate", "240000", d + "/in.cs16"},
                          std::string()};
     }},
    {"cf32_240k",
     [](const std::string &, const std::vector<float> &s) {
         return std::pair{std::vector<std::string>{"--format", "cf32", "--rate", "240000"},
                          iq_bytes(fm_modulate(s, 240000, 1500), "cf32")};
     }},
};

void PrintTo(const input_case &c, std::ostream *os) { *os << c.name; }

class InputForms : public ZelvaneTest, public ::testing::WithParamInterface<input_case> {};

TEST_P(InputForms, EveryProtocolDecodedOnceInEitherPolarity) {
    for (bool invert : {false, true}) {
        std::vector<float> signal = composite(invert, 0.5);
        auto [args, input] = GetParam().make(dir, signal);
        for (bool exact : {false, true}) {
            std::vector<std::string> full = {"-j"};
            if (exact) full.push_back("--exact");
            full.insert(full.end(), args.begin(), args.end());
            expect_composite_events(run_program(zelvane, full, input, 65536, 60000),
                                    std::string(invert ? "inverted" : "normal") + (exact ? ", exact" : ", default"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zelvane, InputForms, ::testing::ValuesIn(input_cases),
                         [](const auto &info) { return std::string(info.param.name); });

// A 1200 bits/s POCSAG transmission labelled with another sample rate plays
// at another bit rate: at 20480 samples/s it is 512 bits/s, at 96000 2400.
TEST_F(ZelvaneTest, PocsagAtEveryRateInEitherPolarity) {
    for (int baud : {512, 1200, 2400}) {
        for (bool invert : {false, true}) {
            std::vector<std::string> args = {"-p",          "pocsag", "--page", "2000000:Rate " + std::to_string(baud),
                                             "--amplitude", "0.5"};
            if (invert) args.push_back("--invert");
            std::vector<float> s = silence(0.2);
            append(s, airmint(args));
            write_sound(dir + "/p.wav", s, 48000 * baud / 1200, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
            for (const char *path : {"--exact", "-j"}) {
                SCOPED_TRACE(std::to_string(baud) + (invert ? " inverted " : " ") + path);
                program_result r = run_program(zelvane, {"-j", path, dir + "/p.wav"}, "");
                EXPECT_EQ(r.exit_code, 0);
                auto pages = events_with(r.out, {"\"baud\":" + std::to_string(baud) + ",\"address\":2000000",
                                                 "\"message\":\"Rate " + std::to_string(baud) + "\""});
                EXPECT_EQ(pages.size(), 1u) << r.out;
                EXPECT_EQ(lines_of(r.out).size(), 1u) << r.out;
            }
        }
    }
}

// Off-air recordings of a paging network (see testdata/README.md), decoded
// as an independent decoder decodes them.
TEST_F(ZelvaneTest, RealPocsagRecordings) {
    const std::string data = ZELVANE_TESTDATA;
    program_result slow = run_program(zelvane, {"-j", data + "/pocsag_network_512.flac"}, "");
    EXPECT_EQ(slow.exit_code, 0);
    EXPECT_EQ(
        events_with(slow.out, {"\"baud\":512,\"address\":273040,\"function\":3,", "\"message\":\"512 B SIDE ZZZZZZ\"}"})
            .size(),
        1u)
        << slow.out;
    program_result fast = run_program(zelvane, {"-j", data + "/pocsag_network_1200.flac"}, "");
    EXPECT_EQ(fast.exit_code, 0);
    EXPECT_EQ(events_with(fast.out, {"\"baud\":1200,\"address\":273040,\"function\":3,",
                                     "\"message\":\"+++TIME=0008300324+++TIME=0008300324\"}"})
                  .size(),
              1u)
        << fast.out;
}

TEST_F(ZelvaneTest, RepeatedPageWithinASecondIsOneEvent) {
    std::vector<float> s = airmint({"-p", "pocsag", "--page", "55:Same", "--page", "55:Same", "--page", "56:Other"});
    append(s, silence(1.5));
    append(s, airmint({"-p", "pocsag", "--page", "55:Same"}));
    // With --dedup 1 only the copies of one transmission merge; by default
    // (10 s) the page sent again is one event too.
    program_result r = run_program(zelvane, {"-j", "--dedup", "1", "-f", "f32", "-r", "48000"}, as_bytes(s));
    auto same = events_with(r.out, {"\"address\":55,", "\"message\":\"Same\""});
    ASSERT_EQ(same.size(), 2u) << r.out;  // twice in the first transmission, once in the second
    EXPECT_GT(json_number(same[1], "time") - json_number(same[0], "time"), 1.0);
    EXPECT_EQ(events_with(r.out, {"\"address\":56,", "\"message\":\"Other\""}).size(), 1u) << r.out;
    program_result merged = run_program(zelvane, {"-j", "-f", "f32", "-r", "48000"}, as_bytes(s));
    EXPECT_EQ(events_with(merged.out, {"\"address\":55,", "\"message\":\"Same\""}).size(), 1u) << merged.out;

    // A tone page carries no text: it is a page with its function and an
    // empty message, merged like any other.
    std::vector<float> tones =
        airmint({"-p", "pocsag", "--tone-page", "671968/1", "--tone-page", "671968/1", "--page", "5:x"});
    r = run_program(zelvane, {"-j", "-f", "f32", "-r", "48000"}, as_bytes(tones));
    EXPECT_EQ(events_with(r.out, {"\"address\":671968,\"function\":1,\"message\":\"\"}"}).size(), 1u) << r.out;
}

struct wav_facts {
    bool readable = false;
    int rate = 0, channels = 0, format = 0;
    long long frames = 0, file_bytes = 0;
    uint32_t riff_size = 0, data_size = 0;
};

wav_facts wav_file(const std::string &path) {
    wav_facts f;
    std::string bytes = read_file(path);
    f.file_bytes = static_cast<long long>(bytes.size());
    if (bytes.size() >= 44) {
        std::memcpy(&f.riff_size, bytes.data() + 4, 4);
        size_t data = bytes.find("data");
        if (data != std::string::npos && data + 8 <= bytes.size())
            std::memcpy(&f.data_size, bytes.data() + data + 4, 4);
    }
    SF_INFO info{};
    SNDFILE *sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf) return f;
    f.readable = true;
    f.rate = info.samplerate;
    f.channels = info.channels;
    f.format = info.format;
    f.frames = info.frames;
    sf_close(sf);
    return f;
}

void expect_whole_speech_file(const std::string &path) {
    wav_facts f = wav_file(path);
    SCOPED_TRACE(path);
    ASSERT_TRUE(f.readable);
    EXPECT_EQ(f.rate, 8000);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_GT(f.frames, 0);
    EXPECT_EQ(f.riff_size, f.file_bytes - 8);
    EXPECT_EQ(f.data_size, 2 * f.frames);
    EXPECT_EQ(f.file_bytes, 44 + 2 * f.frames);
}

// The speech files in a folder (each has a JSON sidecar beside it).
std::vector<std::string> files_in(const std::string &dir) {
    program_result r = run_program("/bin/ls", {dir}, "");
    std::vector<std::string> sound;
    for (const std::string &name : lines_of(r.out))
        if (name.size() > 5 && name.substr(name.size() - 5) != ".json") sound.push_back(name);
    return sound;
}

// Calls in both DMR slots at once, and a System Fusion call: each call gets
// its own events and its own speech file; the inverted signal gives the same
// and never a file of the wrong polarity's garbage.
TEST_F(ZelvaneTest, CallsOfBothSlotsAndTheirSpeechFiles) {
    for (bool invert : {false, true}) {
        SCOPED_TRACE(invert ? "inverted" : "normal");
        std::vector<std::string> dmr = {"--slot",
                                        "0",
                                        "--target",
                                        "9",
                                        "--source",
                                        "2001",
                                        "--superframes",
                                        "3",
                                        "--other-call",
                                        "--other-direct",
                                        "--other-target",
                                        "3100",
                                        "--other-source",
                                        "2002",
                                        "--other-superframes",
                                        "2",
                                        "--other-delay",
                                        "4",
                                        "--snr",
                                        "25",
                                        "--ppm",
                                        "40"};
        std::vector<std::string> ysf = {"-p",  "ysf",      "--source", "N0CALL", "--target",
                                        "ALL", "--frames", "20",       "--ppm",  "-40"};
        if (invert) {
            dmr.push_back("--invert");
            ysf.push_back("--invert");
        }
        std::vector<float> s = airmint(dmr);
        append(s, silence(0.5));
        append(s, airmint(ysf));
        std::string audio = dir + (invert ? "/inverted" : "/normal");
        program_result r = run_program(zelvane, {"-j", "-a", audio, "-f", "f32", "-r", "48000"}, as_bytes(s));
        EXPECT_EQ(r.exit_code, 0) << r.err;
        auto slot0 = events_with(r.out, {"\"slot\":1,\"type\":\"group\",\"source\":2001,\"target\":9"});
        auto slot1 = events_with(r.out, {"\"slot\":2,\"type\":\"direct\",\"source\":2002,\"target\":3100"});
        ASSERT_EQ(slot0.size(), 2u) << r.out;  // call, call-end
        ASSERT_EQ(slot1.size(), 2u) << r.out;
        EXPECT_NE(slot0[1].find("call-end"), std::string::npos);
        EXPECT_NE(slot1[1].find("call-end"), std::string::npos);
        EXPECT_LT(json_number(slot0[0], "time"), json_number(slot1[1], "time"));  // the calls overlap
        EXPECT_LT(json_number(slot1[0], "time"), json_number(slot0[1], "time"));

        std::vector<std::string> files = files_in(audio);
        ASSERT_EQ(files.size(), 3u) << r.out;
        EXPECT_NE(files[0].find("-DMR-slot1-2001-to-9.wav"), std::string::npos) << files[0];
        EXPECT_NE(files[1].find("-DMR-slot2-2002-to-3100.wav"), std::string::npos) << files[1];
        EXPECT_NE(files[2].find("-YSF-N0CALL-to-ALL.wav"), std::string::npos) << files[2];
        for (const std::string &f : files) expect_whole_speech_file(audio + "/" + f);
        // A superframe carries 6 bursts of three 20 ms frames: slot 0's three
        // superframes are 1.08 s of speech, slot 1's two 0.72 s; all of it,
        // and nothing of the other slot, within one burst.
        EXPECT_NEAR(static_cast<double>(wav_file(audio + "/" + files[0]).frames) / 8000, 1.08, 0.061);
        EXPECT_NEAR(static_cast<double>(wav_file(audio + "/" + files[1]).frames) / 8000, 0.72, 0.061);
    }
}

// The pids of a running process's children.
std::vector<pid_t> children_of(pid_t pid) {
    std::vector<pid_t> pids;
    std::string text = read_file("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    size_t at = 0;
    while (at < text.size()) {
        size_t space = text.find(' ', at);
        if (space == std::string::npos) space = text.size();
        if (space > at) pids.push_back(std::atoi(text.substr(at, space - at).c_str()));
        at = space + 1;
    }
    return pids;
}

// Reads the program's output until it holds needle (or timeout).
std::string read_until(running_program &p, const std::string &needle, int timeout_ms) {
    std::string out;
    for (int waited = 0; out.find(needle) == std::string::npos && waited < timeout_ms;) {
        std::string more = read_output(p, 1, 100);
        if (more.empty()) waited += 100;  // only time without output counts
        out += more;
    }
    return out;
}

// Ctrl-C in the middle of a call read from a pipe: the call ends, the speech
// file is whole, and the status tells of the interrupt. The decoders run
// inside zelvane: there is no child process to end or to lose.
TEST_F(ZelvaneTest, InterruptEndsChildrenAndLeavesWholeFiles) {
    std::vector<float> call = airmint({"--source", "2001", "--target", "9", "--superframes", "20"});
    running_program p = start_program(zelvane, {"-j", "-a", dir, "-f", "f32", "-r", "48000"});
    // Half the call, and the pipe stays open as a receiver's would.
    ASSERT_TRUE(write_input(p, as_bytes(std::vector<float>(call.begin(), call.begin() + call.size() / 2))));
    std::string out = read_until(p, "\"target\":9", 20000);
    ASSERT_NE(out.find("\"source\":2001"), std::string::npos) << out;
    std::vector<pid_t> children = children_of(p.pid);
    EXPECT_EQ(children.size(), 0u);
    usleep(300000);  // let some speech reach the file
    kill(p.pid, SIGINT);
    // finish_program closes standard input only after the signal: the end
    // comes from the interrupt, not from the end of input.
    program_result r = finish_program(p, 20000);
    out += r.out;
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 130);
    EXPECT_NE(out.find("\"event\":\"call-end\""), std::string::npos) << out;
    for (pid_t child : children)
        EXPECT_TRUE(kill(child, 0) != 0 && errno == ESRCH) << "child " << child << " still there";
    std::vector<std::string> files = files_in(dir);
    ASSERT_EQ(files.size(), 1u);
    expect_whole_speech_file(dir + "/" + files[0]);
}

// Bad use gets one line on standard error and a non-zero status, and
// starts no decoding.
TEST_F(ZelvaneTest, BadUseIsReported) {
    std::ofstream(dir + "/text.wav") << "not a sound file at all\n";
    const struct {
        std::vector<std::string> args;
        std::string input, says;
    } cases[] = {
        {{dir + "/missing.wav"}, "", "cannot read '" + dir + "/missing.wav'"},
        {{dir + "/text.wav"}, "", "cannot read"},
        {{dir}, "", "cannot read"},
        {{"-f", "f32", "-r", "48000", dir}, "", "is a folder"},
        {{"-f", "raw", "-r", "48000"}, "", "unknown format 'raw'"},
        {{"-f", "s16"}, "", "raw input needs --rate"},
        {{"-r", "48000"}, "", "--format"},
        {{"-f", "f32", "-r", "fast"}, "", "--rate"},
        {{"-f", "cu8", "-r", "24000"}, "", "48000"},
        {{"-p", "dmr,tetra"}, "", "unknown protocol 'tetra'"},
        {{"-p", ""}, "", "at least one"},
        {{"--bogus"}, "", "unknown option '--bogus'"},
        {{"-x"}, "", "unknown option '-x'"},
        {{"-a"}, "", "needs a value"},
        {{"one.wav", "two.wav"}, "", "one input only"},
        {{"-a", dir + "/text.wav", "-f", "f32", "-r", "48000"}, "", "not a folder"},
        {{}, "random bytes on standard input", "cannot read 'standard input'"},
        {{"-f", "f32", "-r", "48000", "/dev/null/x"}, "", "cannot open"},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        program_result r = run_program(zelvane, c.args, c.input, 0, 20000);
        EXPECT_NE(r.exit_code, 0);
        EXPECT_NE(r.exit_code, -1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("zelvane: ", 0), 0u) << r.err;
        EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

// Random bytes in every raw format (NaN and infinity among the floats), and
// a stream cut in the middle of a frame: no crash, no hang, no event.
TEST_F(ZelvaneTest, GarbageNeverCrashesOrHangs) {
    std::mt19937 random(7);
    std::string noise(400000, 0);
    for (char &c : noise) c = static_cast<char>(random());
    std::vector<float> specials(48000, std::numeric_limits<float>::quiet_NaN());
    for (size_t n = 0; n < specials.size(); n += 3) specials[n] = std::numeric_limits<float>::infinity();
    for (size_t n = 1; n < specials.size(); n += 3) specials[n] = 1e30f;
    const struct {
        const char *format, *rate;
        std::string input;
    } cases[] = {
        {"s16", "48000", noise},
        {"f32", "22050", noise},
        {"cu8", "240000", noise},
        {"cs16", "96000", noise},
        {"cf32", "240000", noise},
        {"f32", "48000", as_bytes(specials)},
        {"cf32", "48000", as_bytes(specials)},
        {"f32", "48000", noise.substr(0, 4001)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " at " + c.rate);
        for (const char *path : {"--exact", "-j"}) {
            program_result r = run_program(zelvane, {path, "-j", "-f", c.format, "-r", c.rate}, c.input, 4096, 60000);
            EXPECT_FALSE(r.timed_out);
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
    // The end of a real transmission follows the garbage: it still decodes.
    std::vector<float> after = from_bytes<float>(noise.substr(0, 96000));
    for (float &v : after) v = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
    append(after, composite(false));
    program_result r = run_program(zelvane, {"-j", "-f", "f32", "-r", "48000"}, as_bytes(after));
    EXPECT_EQ(events_with(r.out, {"\"source\":2001,\"target\":9"}).size(), 2u) << r.out;
    EXPECT_EQ(events_with(r.out, {"\"address\":1234567"}).size(), 1u) << r.out;
}

TEST_F(ZelvaneTest, ProtocolSelectionAndReadableLines) {
    std::string input = as_bytes(composite(false));
    program_result pages = run_program(zelvane, {"-p", "pocsag", "-f", "f32", "-r", "48000"}, input);
    std::vector<std::string> lines = lines_of(pages.out);
    ASSERT_EQ(lines.size(), 4u) << pages.out;
    EXPECT_NE(lines[0].find("  POCSAG 1200  page  address 1234567"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"Hello from airmint\""), std::string::npos) << lines[0];
    program_result voice = run_program(zelvane, {"--protocols", "ysf,dmr", "-f", "f32", "-r", "48000"}, input);
    // The readable form of each kind of event (their order is checked with
    // the input forms).
    EXPECT_GE(lines_of(voice.out).size(), 4u) << voice.out;
    for (const char *line : {"  DMR slot 1  call  group 2001 -> 9\n", "  DMR slot 1  call-end  group 2001 -> 9  (",
                             "  YSF  call  DN N0CALL -> ALL\n", "  YSF  call-end  DN N0CALL -> ALL"})
        EXPECT_NE(voice.out.find(line), std::string::npos) << line << " in\n" << voice.out;
    EXPECT_EQ(voice.out.find("POCSAG"), std::string::npos);
    EXPECT_EQ(voice.err, "");  // no progress bar into a pipe, and the tracking demodulators found
}

// A real transmitter's clock is off by hundreds of ppm, its audio may carry
// a DC offset, and a hot receiver clips it.
TEST_F(ZelvaneTest, ClockErrorOffsetAndClipping) {
    const struct {
        const char *ppm, *offset, *amplitude;
    } cases[] = {{"300", "0.2", "1.0"}, {"-300", "-0.2", "1.0"}, {"150", "0", "1.5"}};
    for (const auto &c : cases) {
        std::vector<std::string> channel = {"--ppm",       c.ppm,       "--offset", c.offset,
                                            "--amplitude", c.amplitude, "--snr",    "20"};
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), channel.begin(), channel.end());
            return airmint(args);
        };
        std::vector<float> s = with({"--superframes", "3"});
        append(s, with({"-p", "ysf"}));
        append(s, with({"-p", "pocsag"}));
        write_sound(dir + "/in.wav", s, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);  // clips above 1.0
        for (const char *path : {"-j", "--exact"}) {
            SCOPED_TRACE(std::string(c.ppm) + " ppm, offset " + c.offset + ", amplitude " + c.amplitude + " " + path);
            program_result r = run_program(zelvane, {"-j", path, dir + "/in.wav"}, "");
            EXPECT_EQ(events_with(r.out, {"\"event\":\"call\"", "\"source\":2001,\"target\":9"}).size(), 1u) << r.out;
            EXPECT_EQ(events_with(r.out, {"\"event\":\"call-end\"", "\"source\":\"N0CALL\""}).size(), 1u) << r.out;
            EXPECT_EQ(events_with(r.out, {"\"address\":1234567,", "\"message\":\"airmint test page\""}).size(), 1u)
                << r.out;
        }
    }
}

// A call updates when what it names grows: the talker alias and the GPS
// position arrive superframes after the ids, and the end keeps them.
TEST_F(ZelvaneTest, CallUpdatesWithAliasAndPosition) {
    std::vector<float> s = airmint(
        {"--source", "2001", "--target", "9", "--alias", "Anna; DL1ABC", "--position", "48.1,11.5", "--snr", "25"});
    for (const char *path : {"-j", "--exact"}) {
        SCOPED_TRACE(path);
        program_result r = run_program(zelvane, {"-j", path, "-f", "f32", "-r", "48000"}, as_bytes(s));
        std::vector<std::string> lines = lines_of(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        const char *head = "\"slot\":1,\"type\":\"group\",\"source\":2001,\"target\":9";
        EXPECT_NE(lines[0].find(std::string("\"event\":\"call\"") + ",\"time\":"), std::string::npos);
        EXPECT_NE(lines[0].find(std::string(head) + "}"), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find(std::string(head) + ",\"alias\":\"Anna; DL1ABC\"}"), std::string::npos) << lines[1];
        EXPECT_NE(lines[2].find(std::string(head) + ",\"alias\":\"Anna; DL1ABC\",\"lat\":48.1"), std::string::npos)
            << lines[2];
        EXPECT_NE(lines[3].find("\"event\":\"call-end\""), std::string::npos) << lines[3];
        EXPECT_NE(lines[3].find("\"alias\":\"Anna; DL1ABC\",\"lat\":48.1"), std::string::npos) << lines[3];
        EXPECT_NEAR(json_number(lines[2], "lon"), 11.5, 1e-4);
    }
}

// Runs zelvane with its standard error on a terminal (a pseudo-terminal);
// what it drew there.
std::string terminal_stderr(const std::vector<std::string> &args) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "no pty";
    std::string slave_name = ptsname(master);
    pid_t pid = fork();
    if (pid == 0) {
        int slave = open(slave_name.c_str(), O_RDWR);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(slave, 2);
        std::vector<char *> argv = {const_cast<char *>(zelvane.c_str())};
        for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(zelvane.c_str(), argv.data());
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0) break;
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        seen.append(buffer, static_cast<size_t>(n));
    }
    waitpid(pid, nullptr, 0);
    close(master);
    return seen;
}

TEST_F(ZelvaneTest, ProgressBarOnlyOnATerminal) {
    write_sound(dir + "/in.wav", composite(false, 0.5), 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::string drawn = terminal_stderr({dir + "/in.wav"});
    EXPECT_NE(drawn.find("\r["), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("100%"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.substr(drawn.size() - 4), "\r\033[K") << drawn;  // and taken away at the end
    EXPECT_EQ(terminal_stderr({"--no-progress", dir + "/in.wav"}), "");
    program_result piped = run_program(zelvane, {dir + "/in.wav"}, "");
    EXPECT_EQ(piped.err, "");
}

// A receiver writing into a named pipe, as `rtl_fm ... > FIFO` does: read as
// it comes, in pieces, to the end; garbage on the fifo ends cleanly too.
TEST_F(ZelvaneTest, NamedPipeInput) {
    std::string fifo = dir + "/rx.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string signal = s16_bytes(composite(true, 0.5));
    std::mt19937 random(3);
    std::string garbage(100000, 0);
    for (char &c : garbage) c = static_cast<char>(random());
    for (const std::string *input : {&signal, &garbage}) {
        running_program p = start_program(zelvane, {"-j", "-f", "s16", "-r", "48000", fifo});
        int fd = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        for (size_t at = 0; at < input->size(); at += 9600) {
            size_t n = std::min<size_t>(9600, input->size() - at);
            ASSERT_EQ(write(fd, input->data() + at, n), static_cast<ssize_t>(n));
        }
        close(fd);
        program_result r = finish_program(p, 60000);
        if (input == &signal)
            // The events and nothing else; their times are checked with the
            // other input forms.
            expect_composite_events(r, "named pipe", false);
        else
            EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.exit_code, 0);
    }
}

}  // namespace

namespace {

// A file of n codec frames of size bytes, every byte the same.
std::string voice_file(const std::string &path, int frames, int size, unsigned char byte) {
    std::ofstream(path, std::ios::binary) << std::string(static_cast<size_t>(frames * size), static_cast<char>(byte));
    return path;
}

// The root mean square of each 20 ms frame (160 samples) of a speech file.
std::vector<double> frame_levels(const std::string &path) {
    SF_INFO info{};
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<double> levels;
    if (!f) return levels;
    std::vector<short> samples(static_cast<size_t>(info.frames));
    sf_read_short(f, samples.data(), info.frames);
    sf_close(f);
    for (size_t at = 0; at + 160 <= samples.size(); at += 160) {
        double sum = 0;
        for (size_t n = at; n < at + 160; ++n) sum += static_cast<double>(samples[n]) * samples[n];
        levels.push_back(std::sqrt(sum / 160));
    }
    return levels;
}

// The tone double speaks a frame at 1000 plus 40 for every bit set in it:
// an all-zero frame at RMS 707, a frame of 0x5A bytes louder. A file's frames
// show whose speech they hold.
bool near_level(double level, double expected) { return std::fabs(level - expected) < 0.05 * expected; }

std::string spread_run(const std::string &program, const std::vector<std::string> &args, const std::string &input,
                       size_t chunk) {
    program_result r = run_program(program, args, input, chunk, 60000);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string out;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        out += without_utc(r.out.substr(at, nl - at)) + "\n";
    return out;
}

}  // namespace

// Two calls one after the other in the same slot, read from a pipe as fast
// as zelvane takes it: each file lasts as long as its call, holds only that
// call's speech, and is the same to the sample on every run, whatever the
// pieces the input arrives in and however busy the machine is.
TEST_F(ZelvaneTest, SpeechFilesHoldTheirOwnCallWholeOnEveryRun) {
    const std::string zeros = voice_file(dir + "/zeros", 180, 12, 0x00);
    const std::string ones = voice_file(dir + "/ones", 144, 12, 0x5A);
    const std::string ysf_ones = voice_file(dir + "/ysf", 100, 7, 0x5A);
    std::vector<float> s = silence(0.3);
    append(s, airmint({"--source", "2001", "--target", "9", "--superframes", "10", "--voice", zeros}));
    append(s, silence(0.4));
    append(s, airmint({"--source", "2002", "--target", "9", "--superframes", "8", "--voice", ones}));
    append(s, silence(0.4));
    append(s, airmint({"-p", "ysf", "--source", "N0CALL", "--target", "ALL", "--voice", ysf_ones}));
    append(s, silence(3.0));  // the input goes on after the calls, as a receiver's does
    const std::string input = as_bytes(s);

    std::vector<std::string> runs;
    for (size_t chunk : {size_t{0}, size_t{4100}, size_t{65536}}) {
        std::string audio = dir + "/speech" + std::to_string(chunk);
        // One run with the machine busy: two processes spinning beside it.
        pid_t busy[2] = {-1, -1};
        if (chunk == 4100)
            for (pid_t &b : busy) b = spawn_process({"/bin/sh", "-c", "while :; do :; done"}, -1, -1, -1);
        program_result r = run_program(ZELVANE_TONE_PATH, {"-j", "-a", audio, "-f", "f32", "-r", "48000"}, input,
                                       chunk, 60000);
        for (pid_t b : busy)
            if (b > 0) {
                kill(b, SIGKILL);
                waitpid(b, nullptr, 0);
            }
        ASSERT_EQ(r.exit_code, 0) << r.err;
        std::vector<std::string> files = files_in(audio);
        ASSERT_EQ(files.size(), 3u) << r.out;
        std::string all;
        for (const std::string &f : files) all += f + "\n" + read_file(audio + "/" + f);
        runs.push_back(all);

        auto ends = events_with(r.out, {"\"event\":\"call-end\""});
        ASSERT_EQ(ends.size(), 3u) << r.out;
        std::vector<double> own(3);
        for (size_t k = 0; k < 3; ++k) {
            SCOPED_TRACE(files[k]);
            // The call-end names its file.
            EXPECT_NE(ends[k].find("\"audio\":\"" + files[k] + "\""), std::string::npos) << ends[k];
            std::vector<double> levels = frame_levels(audio + "/" + files[k]);
            ASSERT_GT(levels.size(), 10u);
            EXPECT_NEAR(static_cast<double>(levels.size()) * 0.02, json_number(ends[k], "duration"), 0.3);
            // Past the fade-in of its first frames, every frame is the call's own.
            own[k] = levels[levels.size() / 2];
            for (size_t n = 2; n < levels.size(); ++n) EXPECT_TRUE(near_level(levels[n], own[k])) << n << ": " << levels[n];
        }
        EXPECT_NEAR(own[0], 707, 10);
        EXPECT_GT(own[1], 1.5 * own[0]);  // the second call's speech is not the first's
        EXPECT_NEAR(frame_levels(audio + "/" + files[0]).size() * 0.02, 3.6, 0.3);  // 10 superframes of 360 ms
        EXPECT_NEAR(frame_levels(audio + "/" + files[1]).size() * 0.02, 2.88, 0.3);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(runs[0], runs[2]);
}

// The same input gives the same events with the same times, read from a
// file or a pipe in any pieces.
TEST_F(ZelvaneTest, SameEventsAndTimesOnEveryRun) {
    const std::string input = as_bytes(composite(false, 0.5));
    std::ofstream(dir + "/in.f32", std::ios::binary) << input;
    const std::string first = spread_run(zelvane, {"-j", "-f", "f32", "-r", "48000", dir + "/in.f32"}, "", 0);
    ASSERT_EQ(lines_of(first).size(), 9u) << first;
    EXPECT_NE(first.find("\"event\":\"signal\""), std::string::npos) << first;  // compared too
    for (size_t chunk : {size_t{1000}, size_t{4096}, size_t{77777}, size_t{0}})
        EXPECT_EQ(spread_run(zelvane, {"-j", "-f", "f32", "-r", "48000"}, input, chunk), first) << chunk;
}

// Transmissions of alternating polarity, read from a file as fast as it
// goes: every one of them is reported.
TEST_F(ZelvaneTest, AlternatingPolarityLosesNoTransmission) {
    std::vector<float> s;
    for (int n = 0; n < 40; ++n) {
        std::vector<std::string> args = {"-p", "ysf", "--source", "N" + std::to_string(n) + "CALL", "--target",
                                         "ALL", "--frames", "8", "--seed", std::to_string(n)};
        if (n % 2) args.push_back("--invert");
        append(s, airmint(args));
        append(s, silence(0.3));
    }
    std::ofstream(dir + "/in.f32", std::ios::binary) << as_bytes(s);
    program_result r = run_program(zelvane, {"-j", "-p", "ysf", "-f", "f32", "-r", "48000", dir + "/in.f32"}, "");
    EXPECT_EQ(r.exit_code, 0);
    for (int n = 0; n < 40; ++n)
        EXPECT_EQ(events_with(r.out, {"\"event\":\"call-end\"", "\"source\":\"N" + std::to_string(n) + "CALL\""}).size(),
                  1u)
            << n;
}

// A failed write to standard output is a failure: one line and status 1. A
// reader that goes away ends the run quietly, as the programs end then.
TEST_F(ZelvaneTest, OutputFailureIsReported) {
    std::ofstream(dir + "/in.f32", std::ios::binary) << as_bytes(composite(false, 0.5));
    program_setup full;
    full.stdout_path = "/dev/full";
    program_result r = run_program(zelvane, {"-f", "f32", "-r", "48000", dir + "/in.f32"}, "", 0, 60000, full);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "zelvane: write error: No space left on device\n");
    program_result gone = run_program("/bin/sh", {"-c", "'" + zelvane + "' -f f32 -r 48000 '" + dir + "/in.f32' | head -c 10"}, "");
    EXPECT_EQ(gone.exit_code, 0);
    EXPECT_EQ(gone.err, "");
}

// A reader of standard output that stalls never holds back the end: SIGTERM
// ends zelvane at once, with its speech file whole.
TEST_F(ZelvaneTest, SignalEndsTheRunWhileTheReaderStalls) {
    std::vector<float> s;
    for (int n = 0; n < 60; ++n) {
        append(s, airmint({"-p", "pocsag", "--page", std::to_string(1000 + n) + ":" + std::string(70, 'x')}));
        if (n == 30) append(s, airmint({"--source", "2001", "--target", "9", "--superframes", "30"}));
    }
    running_program p = start_program(zelvane, {"-j", "-a", dir, "-f", "f32", "-r", "48000"});
    ASSERT_TRUE(write_input(p, as_bytes(s)));
    usleep(1500000);  // the output pipe fills: nobody reads it
    timespec before{}, after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    kill(p.pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < 5000 && waitpid(p.pid, &status, WNOHANG) == 0; waited += 10) usleep(10000);
    clock_gettime(CLOCK_MONOTONIC, &after);
    const double seconds = static_cast<double>(after.tv_sec - before.tv_sec) + 1e-9 * (after.tv_nsec - before.tv_nsec);
    EXPECT_LT(seconds, 2.0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    if (!WIFEXITED(status)) {
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
    }
    close(p.in);
    close(p.out);
    close(p.err);
    for (const std::string &f : files_in(dir)) expect_whole_speech_file(dir + "/" + f);
}

// Standard input closed by the caller: zelvane reads its file and ends.
TEST_F(ZelvaneTest, ClosedStandardInputDoesNotHang) {
    std::ofstream(dir + "/in.f32", std::ios::binary) << as_bytes(composite(false, 0.5));
    program_setup closed;
    closed.closed_fd = 0;
    program_result r = run_program(zelvane, {"-j", "-f", "f32", "-r", "48000", dir + "/in.f32"}, "", 0, 20000, closed);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(lines_of(r.out).size(), 9u) << r.out;
}

// IQ at 240000 pairs/s on a pipe is read as fast as it comes: 20 s of it
// take far less than 20 s, and every event is there.
TEST_F(ZelvaneTest, LiveIqKeepsUp) {
    std::vector<float> s = composite(false, 0.5);
    while (s.size() < 20 * 48000) append(s, silence(1));
    const std::string iq = iq_bytes(fm_modulate(s, 240000, 1944), "cf32");
    timespec before{}, after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    program_result r = run_program(zelvane, {"-j", "-f", "cf32", "-r", "240000"}, iq, 1 << 20, 60000);
    clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_EQ(r.exit_code, 0);
    expect_composite_events(r, "cf32 on a pipe", false);
    EXPECT_LT(static_cast<double>(after.tv_sec - before.tv_sec), 15.0);
}

// What is received is text, not markup or terminal control: UTF-8 stays
// UTF-8 in JSON, a backslash stays a backslash, and the readable lines show
// quotes and controls as escapes.
TEST_F(ZelvaneTest, ReceivedTextArrivesExactlyAndSafely) {
    std::vector<float> s = airmint({"--source", "2001", "--target", "9", "--alias", "J\xC3\xBCrgen \"x\""});
    append(s, airmint({"-p", "pocsag", "--page", "5:C:\\x0A end"}));
    const std::string input = as_bytes(s);
    program_result json = run_program(zelvane, {"-j", "-f", "f32", "-r", "48000"}, input);
    EXPECT_EQ(events_with(json.out, {"\"alias\":\"J\xC3\xBCrgen \\\"x\\\"\""}).size(), 2u) << json.out;
    EXPECT_EQ(events_with(json.out, {"\"message\":\"C:\\\\x0A end\""}).size(), 1u) << json.out;
    program_result text = run_program(zelvane, {"-f", "f32", "-r", "48000"}, input);
    EXPECT_NE(text.out.find("alias \"J\xC3\xBCrgen \\x22x\\x22\""), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\"C:\\x5Cx0A end\""), std::string::npos) << text.out;
}

// Smaller cases of bad use: a raw file named without its format, FLAC on a
// pipe, and Ctrl-C while a named pipe waits for its writer.
TEST_F(ZelvaneTest, RawFilesFlacPipesAndWaitingFifos) {
    std::ofstream(dir + "/rec.s16", std::ios::binary) << std::string(96000, '\x01');
    program_result raw = run_program(zelvane, {dir + "/rec.s16"}, "");
    EXPECT_EQ(raw.exit_code, 1);
    EXPECT_NE(raw.err.find("raw input needs --format and --rate"), std::string::npos) << raw.err;

    write_sound(dir + "/in.flac", composite(false, 0.5), 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    program_result flac = run_program(zelvane, {"-j", "-"}, read_file(dir + "/in.flac"));
    if (flac.exit_code == 0) {
        expect_composite_events(flac, "FLAC on standard input", false);
    } else {
        EXPECT_EQ(flac.exit_code, 1);
        EXPECT_NE(flac.err.find("needs a file name, not a pipe"), std::string::npos) << flac.err;
    }

    const std::string fifo = dir + "/wait.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    running_program p = start_program(zelvane, {"-f", "s16", "-r", "48000", fifo});
    usleep(300000);
    kill(p.pid, SIGINT);
    program_result r = finish_program(p, 10000);
    EXPECT_EQ(r.exit_code, 130) << r.err;
    EXPECT_EQ(r.err, "");
}

namespace {

// A wideband capture that airmix makes: 2.4 MS/s cu8 centred half-way
// between two channels of the 12.5 kHz raster.
constexpr long long band_centre = 439206250;

std::string airmix_capture(const std::vector<std::string> &args) {
    std::vector<std::string> all = {"-r", "2400000", "--noise", "-60"};
    all.insert(all.end(), args.begin(), args.end());
    program_result r = run_program(AIRMIX_PATH, all, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

std::string offset_of(long long hz) { return std::to_string(hz - band_centre); }

}  // namespace

// Every channel of a band at once: each transmission once, on its own
// frequency, near the middle and the edges of the usable band, in either
// polarity; a page of a simulcast network on two channels is one event
// naming both; a DMR call 20 dB stronger next door gives its neighbour
// nothing, and a weaker call beside it still decodes.
TEST_F(ZelvaneTest, EveryChannelOfABand) {
    const long long dmr = 439312500, ysf = 438262500, weak = 440150000, strong = 440137500, low = 439012500,
                    high = 440112500;
    std::string capture = airmix_capture({
        "--airmint", offset_of(dmr) + ",-30,0.3,-p dmr --source 2001 --target 9 --superframes 3",
        "--airmint", offset_of(ysf) + ",-30,0.5,-p ysf --source N0CALL --invert",  // near the lower edge
        "--airmint", offset_of(weak) + ",-40,0.4,-p dmr --source 3003 --target 7 --superframes 3",
        "--airmint", offset_of(strong) + ",-20,0.35,-p dmr --source 4004 --target 8 --superframes 4 --invert",
        // A 12.5 kHz channel's deviation (a 25 kHz network's 4.5 kHz reaches
        // into the channels beside it).
        "--deviation", "2500",
        "--airmint", offset_of(low) + ",-30,0.4,-p pocsag --page '1234567:Fire at the mast'",
        "--airmint", offset_of(high) + ",-30,0.4,-p pocsag --page '1234567:Fire at the mast'",
    });
    std::ofstream(dir + "/band.cu8", std::ios::binary) << capture;
    program_result r =
        run_program(zelvane, {"-j", "-f", "cu8", "-r", "2400000", "--center", "439.20625M", dir + "/band.cu8"}, "");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto on = [&](long long hz, const std::vector<std::string> &parts) {
        std::vector<std::string> all = parts;
        all.push_back("\"frequency\":" + std::to_string(hz));
        return events_with(r.out, all);
    };
    EXPECT_EQ(on(dmr, {"\"event\":\"call\"", "\"source\":2001,\"target\":9"}).size(), 1u) << r.out;
    EXPECT_EQ(on(dmr, {"\"event\":\"call-end\"", "\"source\":2001"}).size(), 1u) << r.out;
    EXPECT_GE(on(ysf, {"\"event\":\"call\"", "\"source\":\"N0CALL\""}).size(), 1u) << r.out;
    EXPECT_EQ(on(weak, {"\"event\":\"call\"", "\"source\":3003,\"target\":7"}).size(), 1u) << r.out;
    EXPECT_EQ(on(strong, {"\"event\":\"call\"", "\"source\":4004,\"target\":8"}).size(), 1u) << r.out;
    auto pages = events_with(r.out, {"\"event\":\"page\"", "\"message\":\"Fire at the mast\""});
    ASSERT_EQ(pages.size(), 1u) << r.out;
    EXPECT_NE(pages[0].find("\"frequencies\":[" + std::to_string(low) + "," + std::to_string(high) + "]"),
              std::string::npos)
        << pages[0];
    // Nothing on any other channel: no ghost of the strong call on its neighbours.
    for (const std::string &line : lines_of(r.out)) {
        bool known = false;
        for (long long hz : {dmr, ysf, weak, strong, low, high})
            known = known || line.find("\"frequency\":" + std::to_string(hz)) != std::string::npos;
        EXPECT_TRUE(known) << line;
    }
    // The readable line shows the frequency after the time.
    program_result text =
        run_program(zelvane, {"-f", "cu8", "-r", "2400000", "--center", "439206250", dir + "/band.cu8"}, "");
    EXPECT_NE(text.out.find("  439.3125  DMR slot 1  call  group 2001 -> 9"), std::string::npos) << text.out;

    // The same events read from a pipe in uneven pieces.
    program_result piped = run_program(zelvane, {"-j", "-f", "cu8", "-r", "2400000", "--center", "439.20625M"},
                                       capture, 77777);
    EXPECT_EQ(lines_of(piped.out), lines_of(r.out));
}

// The channels of a band as the user names them: a list, a raster, a
// channel outside the usable band, a rate or format that does not fit.
TEST_F(ZelvaneTest, BandChannelsAreChecked) {
    const struct {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{"-f", "cu8", "-r", "2400000", "--center", "439.2M", "--channels", "440.5M"}, "outside the usable band"},
        {{"-f", "cu8", "-r", "2400000", "--center", "439.2M", "--channels", "439.1M,,439.3M"}, ""},
        {{"-f", "cu8", "-r", "2400000", "--center", "439.2M", "--channels", "4x9M"}, ""},
        {{"-f", "s16", "-r", "2400000", "--center", "439.2M"}, "IQ"},
        {{"-f", "cu8", "-r", "96000", "--center", "439.2M"}, "240000"},
        {{"--center", "439.2M"}, "IQ"},
        {{"-f", "cu8", "-r", "2400000", "--channels", "439.1M"}, "--center"},
        {{"-f", "cu8", "-r", "2400000", "--center", "-5"}, ""},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        program_result r = run_program(zelvane, c.args, "", 0, 20000);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

// What a DMR channel carries besides calls, through the front door: a CSBK
// repeated is one event, an encrypted emergency call says so and gives no
// speech, a text message and a location arrive as data; noise gives none of
// them.
TEST_F(ZelvaneTest, DmrSignalControlAndData) {
    std::vector<float> s = silence(0.2);
    append(s, airmint({"--csbk", "4", "--no-voice", "--source", "2001", "--target", "9"}));
    append(s, airmint({"--csbk", "4", "--no-voice", "--source", "2001", "--target", "9"}));
    append(s, airmint({"--source", "2001", "--target", "9", "--emergency", "--privacy", "1:5", "--superframes", "4"}));
    append(s, airmint({"--no-voice", "--text", "Meet at the mast", "--source", "1001", "--target", "2002"}));
    append(s, airmint({"--no-voice", "--location", "48.1,11.5", "--data-rate", "three-quarter", "--source", "1002",
                       "--target", "9", "--snr", "15"}));
    append(s, silence(0.5));
    program_result r =
        run_program(zelvane, {"-j", "-a", dir + "/speech", "-f", "f32", "-r", "48000"}, as_bytes(s));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(events_with(r.out, {"\"event\":\"csbk\"", "\"name\":\"UU_V_Req\",\"source\":2001,\"target\":9"}).size(),
              1u)
        << r.out;
    auto calls = events_with(r.out, {"\"event\":\"call-end\"", "\"source\":2001"});
    ASSERT_EQ(calls.size(), 1u) << r.out;
    EXPECT_NE(calls[0].find("\"encrypted\":true,\"algorithm\":1,\"key_id\":5,\"emergency\":true"), std::string::npos)
        << calls[0];
    EXPECT_NE(calls[0].find("\"speech\":\"withheld: encrypted\""), std::string::npos) << calls[0];
    EXPECT_TRUE(files_in(dir + "/speech").empty());
    EXPECT_EQ(events_with(r.out, {"\"event\":\"data\"", "\"text\":\"Meet at the mast\"", "\"source\":1001"}).size(),
              1u)
        << r.out;
    auto located = events_with(r.out, {"\"event\":\"data\"", "\"source\":1002", "\"lat\":48.1"});
    ASSERT_EQ(located.size(), 1u) << r.out;
    EXPECT_NEAR(json_number(located[0], "lon"), 11.5, 1e-4);
    // The signal's reports (which lines_of leaves out): acquired once with
    // its colour code, lost once.
    EXPECT_NE(r.out.find("\"event\":\"signal\""), std::string::npos);
    size_t acquired = 0, lost = 0;
    for (size_t at = 0; (at = r.out.find("\"event\":\"signal\"", at)) != std::string::npos; ++at) {
        std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        acquired += line.find("\"state\":\"acquired\",\"color_code\":1,\"source_type\":\"BS\"") != std::string::npos;
        lost += line.find("\"state\":\"lost\"") != std::string::npos;
    }
    EXPECT_EQ(acquired, 1u) << r.out;
    EXPECT_EQ(lost, 1u) << r.out;

    // Noise, and the same transmissions inverted (the wrong polarity's
    // decoder sees them as noise too): no CSBK, data, flag or signal made up.
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 0.4f);
    std::vector<float> n(48000 * 30);
    for (float &v : n) v = noise(random);
    program_result quiet = run_program(zelvane, {"-j", "-p", "dmr", "-f", "f32", "-r", "48000"}, as_bytes(n));
    EXPECT_EQ(quiet.out, "");
}
