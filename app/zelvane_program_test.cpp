// zelvane end to end: real processes, real pipes, files made by libsndfile,
// signals made by airmint. Most runs use the exact slicers' path (--exact)
// and the default path alike; each decodes a short composite transmission.

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
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
// a position, and two POCSAG pages at 1200 bits/s; half a second apart.
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
    append(s, silence(0.3));
    return s;
}

std::vector<float> resample(const std::vector<float> &in, double from, double to) {
    std::vector<float> out(static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * to / from)) + 16);
    size_t done = 0;
    soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t e = soxr_oneshot(from, to, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &done, nullptr,
                                  &q, nullptr);
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
    std::vector<float> frames;
    for (float v : samples)
        for (int c = 0; c < channels; ++c) frames.push_back(c == 0 ? v : 0.9f * std::sin(static_cast<float>(frames.size())));
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

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0, nl;
    while ((nl = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
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
void expect_composite_events(const program_result &r, const std::string &what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(r.timed_out);
    auto dmr = events_with(r.out, {"\"protocol\":\"DMR\",\"event\":\"call\"", "\"slot\":0", "\"type\":\"group\"",
                                   "\"source\":2001,\"target\":9"});
    auto dmr_end = events_with(r.out, {"\"protocol\":\"DMR\",\"event\":\"call-end\"", "\"source\":2001"});
    auto ysf = events_with(r.out, {"\"protocol\":\"YSF\",\"event\":\"call\"", "\"source\":\"N0CALL\",\"target\":\"ALL\""});
    auto ysf_end = events_with(r.out, {"\"protocol\":\"YSF\",\"event\":\"call-end\""});
    auto page = events_with(r.out, {"\"protocol\":\"POCSAG\",\"event\":\"page\"", "\"baud\":1200",
                                    "\"address\":1234567", "\"message\":\"Hello from airmint\""});
    auto numeric = events_with(r.out, {"\"address\":1234,", "\"message\":\"5551234"});
    ASSERT_EQ(dmr.size(), 1u) << r.out;
    ASSERT_EQ(dmr_end.size(), 1u) << r.out;
    ASSERT_GE(ysf.size(), 1u) << r.out;
    ASSERT_EQ(ysf_end.size(), 1u) << r.out;
    ASSERT_EQ(page.size(), 1u) << r.out;
    ASSERT_EQ(numeric.size(), 1u) << r.out;
    EXPECT_EQ(lines_of(r.out).size(), 5 + ysf.size()) << r.out;  // nothing else, nothing twice
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

}  // namespace
