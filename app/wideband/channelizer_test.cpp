// SPDX-License-Identifier: MIT
#include "channelizer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <soxr.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "activity.h"
#include "fm_discriminator.h"
#include "resampler.h"
#include "testing/process.h"

namespace {

using cd = std::complex<double>;

// A capture: I/Q interleaved floats.
struct capture {
    double rate = 0;
    std::vector<float> iq;
};

capture silence_capture(double rate, double seconds) {
    return {rate, std::vector<float>(2 * static_cast<size_t>(rate * seconds), 0.0f)};
}

// Adds a tone at offset hz from the capture's centre, as a dongle whose
// clock runs ppm fast would sample it.
void add_tone(capture &c, double offset_hz, double amplitude, double phase = 0.0) {
    double step = 2 * std::numbers::pi * offset_hz / c.rate;
    for (size_t n = 0; n < c.iq.size() / 2; ++n) {
        double p = phase + step * static_cast<double>(n);
        c.iq[2 * n] += static_cast<float>(amplitude * std::cos(p));
        c.iq[2 * n + 1] += static_cast<float>(amplitude * std::sin(p));
    }
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

// FM-modulates 48 kHz baseband (deviation_hz per unit) onto offset_hz of the
// capture, starting at sample `at`.
void add_fm(capture &c, const std::vector<float> &baseband, double offset_hz, double deviation_hz, double amplitude,
            size_t at = 0) {
    std::vector<float> up = resample(baseband, 48000, c.rate);
    double phase = 0.7;
    for (size_t n = 0; n < up.size() && at + n < c.iq.size() / 2; ++n) {
        phase += 2 * std::numbers::pi * (offset_hz + deviation_hz * up[n]) / c.rate;
        phase = std::remainder(phase, 2 * std::numbers::pi);
        c.iq[2 * (at + n)] += static_cast<float>(amplitude * std::cos(phase));
        c.iq[2 * (at + n) + 1] += static_cast<float>(amplitude * std::sin(phase));
    }
}

void add_noise(capture &c, double rms_per_component, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> normal(0.0, rms_per_component);
    for (float &v : c.iq) v += static_cast<float>(normal(gen));
}

std::vector<std::vector<float>> channelize(const capture &c, long long center, const std::vector<long long> &channels,
                                           size_t block = 0, double ppm = 0, double *delay = nullptr) {
    channelizer ch;
    std::string error;
    EXPECT_TRUE(ch.open({c.rate, center, channels, ppm}, error)) << error;
    if (delay) *delay = ch.delay_frames();
    std::vector<std::vector<float>> out;
    size_t frames = c.iq.size() / 2;
    if (block == 0) block = frames;
    for (size_t at = 0; at < frames; at += block) ch.process(c.iq.data() + 2 * at, std::min(block, frames - at), out);
    ch.finish(out);
    return out;
}

// The steady part of a channel's output: past the filter's settling, before
// the end's tail.
std::vector<cd> steady(const std::vector<float> &pairs, size_t skip = 2000) {
    std::vector<cd> z;
    for (size_t n = skip; n + skip < pairs.size() / 2; ++n) z.emplace_back(pairs[2 * n], pairs[2 * n + 1]);
    return z;
}

double rms(const std::vector<cd> &z) {
    double sum = 0;
    for (cd v : z) sum += std::norm(v);
    return z.empty() ? 0 : std::sqrt(sum / static_cast<double>(z.size()));
}

// Mean frequency of a complex tone at 48000/s.
double tone_hz(const std::vector<cd> &z) {
    cd sum = 0;
    for (size_t n = 1; n < z.size(); ++n) sum += z[n] * std::conj(z[n - 1]);
    return std::arg(sum) * 48000 / (2 * std::numbers::pi);
}

double db(double ratio) { return 20 * std::log10(ratio); }

std::vector<float> airmint(const std::vector<std::string> &args) {
    program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<float> v(r.out.size() / sizeof(float));
    std::memcpy(v.data(), r.out.data(), v.size() * sizeof(float));
    return v;
}

// The narrowband path of today's front door: FM at 240 kHz, libsoxr to 48000
// pairs/s, the discriminator.
std::vector<float> narrowband_path(const std::vector<float> &baseband, double deviation_hz) {
    capture c = silence_capture(240000, static_cast<double>(baseband.size()) / 48000 + 0.01);
    add_fm(c, baseband, 0, deviation_hz, 0.5);
    stream_resampler r;
    std::string error;
    EXPECT_TRUE(resampler_open(r, 240000, 48000, 2, error)) << error;
    std::vector<float> iq;
    resampler_process(r, c.iq.data(), c.iq.size() / 2, iq);
    resampler_flush(r, iq);
    resampler_close(r);
    fm_discriminator d;
    discriminator_init(d, 48000);
    std::vector<float> audio;
    discriminator_process(d, iq.data(), iq.size() / 2, audio);
    return audio;
}

std::vector<float> discriminate(const std::vector<float> &pairs, size_t delay) {
    fm_discriminator d;
    discriminator_init(d, 48000);
    std::vector<float> audio;
    discriminator_process(d, pairs.data(), pairs.size() / 2, audio);
    audio.erase(audio.begin(), audio.begin() + static_cast<long>(std::min(delay, audio.size())));
    return audio;
}

// RMS of a - b over samples from..to, relative to the RMS of b there.
double relative_difference(const std::vector<float> &a, const std::vector<float> &b, size_t from, size_t to) {
    double diff = 0, ref = 0;
    for (size_t i = from; i < to && i < a.size() && i < b.size(); ++i) {
        diff += (a[i] - b[i]) * (a[i] - b[i]);
        ref += b[i] * b[i];
    }
    return ref > 0 ? std::sqrt(diff / ref) : 1e9;
}

}  // namespace

// Tones across the passband of channels all over the band, near its edges
// too, with the centre off the raster so no channel sits on an FFT bin.
TEST(Channelizer, ToneComesOutOfItsChannelAtItsFrequencyAndLevel) {
    const long long center = 439206250;
    const double rate = 2400000;
    // Channels from the band's lower edge to its upper one, and the ones
    // nearest the centre.
    std::vector<long long> channels = {438250000, 438262500, 439200000, 439212500, 440137500, 440150000};
    for (double offset : {0.0, 2000.0, -2000.0, 4500.0, -5900.0}) {
        for (size_t c = 0; c < channels.size(); ++c) {
            capture cap = silence_capture(rate, 0.15);
            add_tone(cap, static_cast<double>(channels[c] - center) + offset, 0.25, 0.3);
            double delay = 0;
            std::vector<std::vector<float>> out = channelize(cap, center, channels, 0, 0, &delay);
            ASSERT_EQ(out.size(), channels.size());
            std::vector<cd> z = steady(out[c]);
            ASSERT_GT(z.size(), 1000u);
            EXPECT_NEAR(db(rms(z) / 0.25), 0.0, 0.01) << channels[c] << " " << offset;
            EXPECT_NEAR(tone_hz(z), offset, 0.5) << channels[c];
            // Constant amplitude, and the phase of the tone the filter's delay
            // ago: the blocks join without a step, the shift is exact.
            for (size_t t = 2000; t < out[c].size() / 2 - 2000; ++t) {
                cd v(out[c][2 * t], out[c][2 * t + 1]);
                double phase = 0.3 + 2 * std::numbers::pi * offset * (static_cast<double>(t) - delay) / 48000;
                ASSERT_LT(std::abs(v - std::polar(0.25, phase)), 0.25 * 0.002)
                    << channels[c] << " " << offset << " " << t;
            }
            // The neighbours 12.5 kHz away see nothing of a tone that stays
            // out of their transition band (within 4.9 kHz of this centre).
            for (size_t other = 0; other < channels.size() && std::fabs(offset) < 4900; ++other) {
                if (other == c) continue;
                EXPECT_LT(db(rms(steady(out[other])) / 0.25), -74.0) << channels[other] << " from " << channels[c];
            }
        }
    }
}

// The stop band measured: a tone swept from the stop edge to the channel
// rate's edge and beyond, on both sides.
TEST(Channelizer, StopBandIsSeventyFiveDecibelsDown) {
    const long long center = 145000000;
    std::vector<long long> channel = {145100000};
    double worst = -200;
    for (double offset = 7600; offset < 60000; offset += 733) {
        for (double sign : {1.0, -1.0}) {
            capture cap = silence_capture(2400000, 0.06);
            add_tone(cap, 100000 + sign * offset, 1.0);
            worst = std::max(worst, db(rms(steady(channelize(cap, center, channel)[0], 500))));
        }
    }
    EXPECT_LT(worst, -74.0);
    // The flat part: within 0.01 dB out to 6 kHz.
    for (double offset : {-6000.0, -3000.0, 1000.0, 6000.0}) {
        capture cap = silence_capture(2400000, 0.06);
        add_tone(cap, 100000 + offset, 1.0);
        EXPECT_NEAR(db(rms(steady(channelize(cap, center, channel)[0], 500))), 0.0, 0.01) << offset;
    }
}

// Rates whose ratio to 48000 is whole, a small fraction, or no fraction of
// use (libsoxr finishes those): the tone still comes out right.
TEST(Channelizer, EveryRateComesToFortyEightKilohertz) {
    struct row {
        double rate;
        double channel_rate;
    } rows[] = {{240000, 48000},  {1000000, 48000}, {2048000, 48000},          {2400000, 48000},
                {3200000, 48000}, {2300000, 48000}, {1234567, 1234567.0 / 25}, {2400000.5, 2400000.5 / 50}};
    for (const row &r : rows) {
        const long long center = 100000000;
        long long reach = static_cast<long long>(r.rate * 0.4) / 12500 * 12500;
        std::vector<long long> channels = {center - reach, center + 25000, center + reach};
        channelizer probe;
        std::string error;
        ASSERT_TRUE(probe.open({r.rate, center, channels, 0}, error)) << error;
        EXPECT_DOUBLE_EQ(probe.channel_rate(), r.channel_rate) << r.rate;
        for (size_t c = 0; c < channels.size(); ++c) {
            double seconds = 0.2;
            capture cap = silence_capture(r.rate, seconds);
            add_tone(cap, static_cast<double>(channels[c] - center) - 1700, 0.5);
            std::vector<std::vector<float>> out = channelize(cap, center, channels, 70001);
            // The input's length at 48000/s, and the filter's delay.
            EXPECT_NEAR(static_cast<double>(out[c].size() / 2),
                        std::round(static_cast<double>(cap.iq.size() / 2) * 48000 / r.rate + probe.delay_frames()), 1.0)
                << r.rate;
            std::vector<cd> z = steady(out[c]);
            EXPECT_NEAR(db(rms(z) / 0.5), 0.0, 0.02) << r.rate << " channel " << c;
            EXPECT_NEAR(tone_hz(z), -1700, 0.5) << r.rate << " channel " << c;
            for (size_t other = 0; other < channels.size(); ++other)
                if (other != c) {
                    EXPECT_LT(db(rms(steady(out[other])) / 0.5), -74.0) << r.rate;
                }
        }
    }
}

TEST(Channelizer, SameOutputWhateverTheBlockSizes) {
    for (double rate : {2400000.0, 2048000.0, 1234567.0}) {
        capture cap = silence_capture(rate, 0.25);
        add_tone(cap, 31000, 0.3);
        add_tone(cap, -250000, 0.2);
        add_noise(cap, 0.05, 9);
        std::vector<long long> channels = {100031250, 100000000, 99750000, 100300000};
        std::vector<std::vector<float>> whole = channelize(cap, 100000000, channels);
        for (size_t block : {1, 7, 4096, 44200, 100003}) {
            std::vector<std::vector<float>> pieces = channelize(cap, 100000000, channels, block);
            ASSERT_EQ(pieces.size(), whole.size());
            for (size_t c = 0; c < whole.size(); ++c)
                EXPECT_TRUE(pieces[c] == whole[c]) << "rate " << rate << " block " << block << " channel " << c;
        }
    }
}

// A dongle whose crystal runs 40 ppm fast: its LO and its sample clock both.
TEST(Channelizer, PpmCorrectionPutsTheChannelBackAtZero) {
    const double e = 40e-6;
    const long long center = 439200000;
    const long long channel = 439512500;
    capture cap = silence_capture(2400000 * (1 + e), 0.2);
    // What the samples hold: the channel's tone, seen through the fast clock.
    double seen = (static_cast<double>(channel) + 1000 - static_cast<double>(center) * (1 + e));
    add_tone(cap, seen, 0.5);
    cap.rate = 2400000;  // as the user states it
    std::vector<cd> corrected = steady(channelize(cap, center, {channel}, 0, 40)[0]);
    EXPECT_NEAR(tone_hz(corrected), 1000 * (1 - e), 1.0);
    EXPECT_NEAR(db(rms(corrected) / 0.5), 0.0, 0.02);
    // Uncorrected, the error at 439 MHz (17.6 kHz) throws it out of the channel.
    EXPECT_LT(db(rms(steady(channelize(cap, center, {channel})[0])) / 0.5), -60.0);
}

TEST(Channelizer, RefusesWhatItCannotDo) {
    struct row {
        channelizer_settings settings;
        const char *says;
    } rows[] = {
        {{200000, 100000000, {100000000}, 0}, "rate"},
        {{25e6, 100000000, {100000000}, 0}, "rate"},
        {{NAN, 100000000, {100000000}, 0}, "rate"},
        {{2400000, 100000000, {}, 0}, "no channel"},
        {{2400000, 100000000, {101200001}, 0}, "outside the capture"},
        {{2400000, 100000000, {98799999}, 0}, "outside the capture"},
        {{2400000, 100000000, {100000000}, 5000}, "ppm"},
    };
    for (const row &r : rows) {
        channelizer c;
        std::string error;
        EXPECT_FALSE(c.open(r.settings, error)) << r.says;
        EXPECT_NE(error.find(r.says), std::string::npos) << error;
    }
    // The last channels that fit.
    channelizer c;
    std::string error;
    EXPECT_TRUE(c.open({2400000, 100000000, {101200000, 98800000}, 0}, error)) << error;
}

// The events zelvane's narrowband path gives on a channel's discriminator
// output (f32 at 48000/s), one per line, their times left out.
std::vector<std::string> events_of(const std::vector<float> &audio) {
    std::string bytes(reinterpret_cast<const char *>(audio.data()), audio.size() * sizeof(float));
    // A file, not standard input: events of live input carry their wall-clock time.
    const std::string path = make_temp_dir() + "/in.f32";
    { std::ofstream(path, std::ios::binary) << bytes; }
    program_result r = run_program(ZELVANE_PATH, {"-j", "-f", "f32", "-r", "48000", path}, "");
    std::remove(path.c_str());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        std::string line = r.out.substr(start, end - start);
        start = end + 1;
        if (line.find("\"event\":\"signal\"") != std::string::npos) continue;  // calls only
        // The same call decoded from another starting point (a channel woken
        // from its history) is decided a few blocks apart: the time and the
        // duration are left out, the rest must agree.
        for (const char *key : {"\"time\":", ",\"duration\":"}) {
            size_t t = line.find(key);
            if (t == std::string::npos) continue;
            size_t stop = line.find_first_of(",}", t + 1);
            line.erase(t, stop - t + (line[stop] == ',' && key[0] == '"' ? 1 : 0));
        }
        lines.push_back(line);
    }
    return lines;
}

// An airmint DMR call on one channel of a 2.4 MS/s capture: its discriminator
// output through the channelizer is the narrowband path's, and it decodes to
// the same events with a frequency error of +-2 kHz and a DMR call 20 dB
// stronger on the channel above; the empty channel beyond the strong one
// gives nothing.
TEST(Channelizer, DmrCallDecodesAsOnTheNarrowbandPathBesideAStrongerNeighbour) {
    std::vector<float> weak = airmint({"-p", "dmr", "--source", "2001", "--target", "9", "--superframes", "1"});
    std::vector<float> strong =
        airmint({"-p", "dmr", "--source", "3003", "--target", "7", "--superframes", "2", "--seed", "5"});
    ASSERT_GT(weak.size(), 20000u);
    // The weak call as the channel carries it: 0.1 s in, silence after.
    const size_t lead = 4800;
    double seconds = static_cast<double>(strong.size()) / 48000 + 0.05;
    std::vector<float> padded(lead, 0.0f);
    padded.insert(padded.end(), weak.begin(), weak.end());
    padded.resize(static_cast<size_t>(seconds * 48000), 0.0f);
    std::vector<float> reference = narrowband_path(padded, 1944);
    std::vector<std::string> expected = events_of(reference);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_NE(expected[0].find("\"source\":2001"), std::string::npos) << expected[0];
    std::vector<std::string> strong_events = events_of(narrowband_path(strong, 1944));
    ASSERT_EQ(strong_events.size(), 2u);

    const long long center = 439206250;
    const long long wanted = 439000000, above = 439012500, beyond = 439025000;
    for (double error_hz : {0.0, 2000.0, -2000.0}) {
        capture alone = silence_capture(2400000, seconds);
        add_fm(alone, weak, static_cast<double>(wanted - center) + error_hz, 1944, 0.05, lead * 50);
        add_noise(alone, 0.0005, 3);
        capture busy = alone;
        add_fm(busy, strong, static_cast<double>(above - center), 1944, 0.5);
        std::vector<long long> channels = {wanted, above, beyond};
        double delay_frames = 0;
        std::vector<std::vector<float>> quiet = channelize(alone, center, channels, 0, 0, &delay_frames);
        std::vector<std::vector<float>> loud = channelize(busy, center, channels);
        size_t delay = static_cast<size_t>(delay_frames);
        if (error_hz == 0) {
            // The same discriminator signal over the call, the filter's
            // delay later.
            std::vector<float> through = discriminate(quiet[0], delay);
            EXPECT_LT(relative_difference(through, reference, lead + 100, lead + weak.size() - 100), 0.05);
        }
        EXPECT_EQ(events_of(discriminate(quiet[0], 0)), expected) << error_hz << " Hz, alone";
        EXPECT_EQ(events_of(discriminate(loud[0], 0)), expected) << error_hz << " Hz, strong neighbour";
        EXPECT_EQ(events_of(discriminate(loud[1], 0)), strong_events) << error_hz << " Hz, the strong call";
        EXPECT_EQ(events_of(discriminate(loud[2], 0)), std::vector<std::string>{}) << error_hz << " Hz, beyond";
    }
}

// A 2.4 MS/s cu8 capture from airmix: DMR, System Fusion and POCSAG on
// channels at both edges of the usable band and in it, in either polarity,
// with a DMR call 20 dB stronger next to one of them and noise. Each
// channel's events are those of its transmission's narrowband signal alone;
// the free channel beyond the strong call has none.
TEST(Channelizer, MixedCaptureEveryChannelAsItsNarrowbandSignal) {
    const long long center = 439206250;
    const long long low_edge = 438262500, high_edge = 440150000, middle = 439500000;
    struct transmission {
        std::vector<std::string> airmint;
        double deviation;
        double start;
    };
    const transmission dmr{{"-p", "dmr", "--source", "2001", "--target", "9"}, 1944, 0.1};
    const transmission ysf{{"-p", "ysf", "--source", "N0CALL", "--target", "ALL"}, 1800, 0.2};
    const transmission pocsag{{"-p", "pocsag", "--page", "1234567:Hello_from_the_band_edge"}, 4500, 0.3};
    const transmission strong{{"-p", "dmr", "--source", "3003", "--target", "7", "--seed", "9"}, 1944, 0.15};
    for (bool invert : {false, true}) {
        // Which transmission sits where: rotated between the polarities.
        std::vector<std::pair<long long, transmission>> plan =
            invert
                ? std::vector<std::pair<long long, transmission>>{{low_edge, pocsag}, {middle, dmr}, {high_edge, ysf}}
                : std::vector<std::pair<long long, transmission>>{{low_edge, dmr}, {middle, ysf}, {high_edge, pocsag}};
        std::vector<std::string> args = {"-r", "2400000", "-f", "cu8", "--noise", "-60", "--seconds", "2.6"};
        auto add = [&](long long hz, const transmission &t, double level) {
            std::string words =
                std::to_string(hz - center) + "," + std::to_string(level) + "," + std::to_string(t.start) + ",";
            for (const std::string &w : t.airmint) words += w + " ";
            if (invert) words += "--invert";
            args.insert(args.end(), {"--deviation", std::to_string(t.deviation), "--airmint", words});
        };
        for (const auto &[hz, t] : plan) add(hz, t, -25);
        add(middle + 12500, strong, -5);
        program_result mixed = run_program(AIRMIX_PATH, args, "");
        ASSERT_EQ(mixed.exit_code, 0) << mixed.err;
        capture cap{2400000, {}};
        cap.iq.resize(mixed.out.size());
        for (size_t n = 0; n < mixed.out.size(); ++n)
            cap.iq[n] = (static_cast<float>(static_cast<uint8_t>(mixed.out[n])) - 127.5f) / 127.5f;

        std::vector<long long> channels = {low_edge, middle, middle + 12500, middle + 25000, high_edge};
        std::vector<std::vector<float>> out = channelize(cap, center, channels, 262144);
        auto alone = [&](const transmission &t) {
            std::vector<std::string> a = t.airmint;
            if (invert) a.push_back("--invert");
            std::vector<float> padded(static_cast<size_t>(t.start * 48000), 0.0f);
            std::vector<float> b = airmint(a);
            padded.insert(padded.end(), b.begin(), b.end());
            padded.resize(static_cast<size_t>(2.6 * 48000), 0.0f);
            return events_of(narrowband_path(padded, t.deviation));
        };
        for (size_t c = 0; c < plan.size(); ++c) {
            size_t index = c == 0 ? 0 : c == 1 ? 1 : 4;
            std::vector<std::string> expected = alone(plan[c].second);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(events_of(discriminate(out[index], 0)), expected)
                << (invert ? "inverted, " : "normal, ") << channels[index];
        }
        EXPECT_EQ(events_of(discriminate(out[2], 0)), alone(strong)) << "the strong call";
        EXPECT_EQ(events_of(discriminate(out[3], 0)), std::vector<std::string>{}) << "beyond the strong call";
    }
}

// Activity on channelizer output: of a band's channels only those that carry
// a transmission (or lie right next to one) open, each at the start of its
// carrier, and decoding a
// channel from where it opened (as the engine wakes its decoders with the
// history it keeps) gives the same events as the whole channel: the DMR
// voice header and the System Fusion header are not lost.
TEST(Channelizer, ActivityOpensBusyChannelsOnlyAndKeepsTheirHeaders) {
    const long long center = 439206250;
    const long long dmr_hz = 439100000, ysf_hz = 439350000;
    std::vector<std::string> args = {
        "-r",          "2400000", "--noise",   "-55",
        "--seconds",   "2.8",     "--airmint", std::to_string(dmr_hz - center) + ",-20,0.4,-p dmr --source 2001",
        "--deviation", "1800",    "--airmint", std::to_string(ysf_hz - center) + ",-20,0.7,-p ysf --source N0CALL"};
    program_result mixed = run_program(AIRMIX_PATH, args, "");
    ASSERT_EQ(mixed.exit_code, 0) << mixed.err;
    capture cap{2400000, {}};
    for (char b : mixed.out) cap.iq.push_back((static_cast<float>(static_cast<uint8_t>(b)) - 127.5f) / 127.5f);
    std::vector<long long> channels;
    for (long long hz = 439000000; hz <= 439400000; hz += 12500) channels.push_back(hz);
    std::vector<std::vector<float>> out = channelize(cap, center, channels, 100000);

    // The detectors, fed as the engine would, block by block, with the band's
    // floor from all of them.
    std::vector<activity_detector> detectors(channels.size());
    std::vector<long long> first_open(channels.size(), -1);
    const size_t block = 4800;
    for (size_t at = 0; at < out[0].size() / 2; at += block) {
        std::vector<double> floors;
        for (activity_detector &d : detectors) floors.push_back(d.floor_db());
        double band = at == 0 ? NAN : band_floor_db(floors);
        for (size_t c = 0; c < channels.size(); ++c) {
            size_t n = std::min(block, out[c].size() / 2 - at);
            detectors[c].set_band_floor(band);
            if (detectors[c].feed(out[c].data() + 2 * at, n) && first_open[c] < 0)
                first_open[c] = detectors[c].opened_at();
        }
    }
    for (size_t c = 0; c < channels.size(); ++c) {
        if (channels[c] == dmr_hz || channels[c] == ysf_hz) {
            // Opened within 10 ms of the carrier (airmix's start, plus the
            // filter's delay).
            double start = channels[c] == dmr_hz ? 0.4 : 0.7;
            EXPECT_NEAR(static_cast<double>(first_open[c]) / 48000, start, 0.01) << channels[c];
            // Decoded from there on, the same as the whole channel.
            std::vector<float> whole = discriminate(out[c], 0);
            std::vector<float> woken(whole.begin() + first_open[c], whole.end());
            std::vector<std::string> expected = events_of(whole);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(events_of(woken), expected) << channels[c];
        } else if (std::llabs(channels[c] - dmr_hz) == 12500 || std::llabs(channels[c] - ysf_hz) == 12500) {
            // Next to a call 35 dB over the noise its skirts may open a
            // channel; its decoders find nothing there.
            if (first_open[c] >= 0) {
                EXPECT_TRUE(events_of(discriminate(out[c], 0)).empty()) << channels[c];
            }
        } else {
            EXPECT_EQ(first_open[c], -1) << channels[c] << " is idle";
        }
    }
}
