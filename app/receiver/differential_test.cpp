// SPDX-License-Identifier: MIT
// The receiver runs the receiving programs' own decoders in-process. Here
// the same samples go through the programs, joined by real pipes, and
// through the receiver, read in uneven pieces: every metadata line, page
// line and voice unit must be the same, decoder by decoder.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "receiver.h"
#include "resampler.h"
#include "testing/process.h"

namespace {

struct capture final : receiver_tap {
    std::map<std::string, std::string> lines, units;
    void line(const std::string &decoder, std::string_view text) override {
        lines[decoder].append(text);
        lines[decoder] += '\n';
    }
    void voice(const std::string &decoder, const uint8_t *unit, size_t size) override {
        units[decoder].append(reinterpret_cast<const char *>(unit), size);
    }
};

std::vector<float> airmint(const std::vector<std::string> &args) {
    program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return from_bytes<float>(r.out);
}

void append(std::vector<float> &to, const std::vector<float> &more) { to.insert(to.end(), more.begin(), more.end()); }

// What the receiver's decoders wrote, the input read in pieces of 1 to 5000 samples.
capture in_process(const std::vector<float> &samples, bool exact, bool speech) {
    capture c;
    receiver_settings settings;
    settings.exact = exact;
    settings.speech = speech;
    settings.tap = &c;
    uint64_t ids = 0;
    std::vector<receiver_item> items;
    receiver r(settings, &ids, &items);
    std::mt19937 random(11);
    for (size_t at = 0; at < samples.size();) {
        size_t n = std::min<size_t>(samples.size() - at, 1 + random() % 5000);
        r.process(samples.data() + at, n);
        at += n;
    }
    r.finish();
    return c;
}

// Output and metadata of one shell pipeline over the samples in $IN, the
// metadata written to the regular file $META (which never drops a line).
struct chain_output {
    std::string out, meta;
};

chain_output through_pipes(const std::string &dir, const std::vector<float> &samples, const std::string &pipeline) {
    std::ofstream(dir + "/in.f32", std::ios::binary) << as_bytes(samples);
    std::remove((dir + "/meta").c_str());
    std::string script = "IN='" + dir + "/in.f32'; META='" + dir + "/meta'; " + pipeline;
    program_result r = run_program("/bin/sh", {"-c", script}, "", 0, 60000);
    EXPECT_EQ(r.exit_code, 0) << pipeline << "\n" << r.err;
    chain_output o;
    o.out = r.out;
    o.meta = read_file(dir + "/meta");
    return o;
}

std::vector<float> negated(std::vector<float> s) {
    for (float &v : s) v = -v;
    return s;
}

// The samples at another rate, through the receiver's own resampler (the
// exact slicer reads 40 samples a bit).
std::vector<float> resampled(const std::vector<float> &s, double from, double to) {
    stream_resampler r;
    std::string error;
    EXPECT_TRUE(resampler_open(r, from, to, 1, error)) << error;
    std::vector<float> out;
    resampler_process(r, s.data(), s.size(), out);
    resampler_flush(r, out);
    resampler_close(r);
    return out;
}

std::vector<float> recording(const std::string &path) {
    SF_INFO info{};
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(f, nullptr) << path;
    if (!f) return {};
    std::vector<float> frames(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    std::vector<float> first;
    for (size_t n = 0; n < frames.size(); n += static_cast<size_t>(info.channels)) first.push_back(frames[n]);
    return resampled(first, info.samplerate, 48000);
}

void expect_same(const std::string &what, const std::string &programs, const std::string &receiver) {
    SCOPED_TRACE(what);
    EXPECT_EQ(programs.size(), receiver.size());
    EXPECT_TRUE(programs == receiver) << "programs:\n" << programs.substr(0, 2000) << "\nreceiver:\n"
                                      << receiver.substr(0, 2000);
}

// Compares every decoder of both polarities, tracking or exact path.
void compare(const std::string &dir, const std::vector<float> &signal, bool exact) {
    const std::string q = exact ? QUADSLICE_PATH : QUADLOCK_PATH;
    capture c = in_process(signal, exact, false);
    size_t reports = 0;
    for (bool inverted : {false, true}) {
        const std::string suffix = inverted ? "-i" : "";
        // The exact slicer has no inversion: the receiver negates its input.
        const std::vector<float> &in = exact && inverted ? negated(signal) : signal;
        const std::string flag = !exact && inverted ? " -i" : "";
        chain_output dmr = through_pipes(dir, in, "'" + q + "'" + flag + " < \"$IN\" | '" TESSAVOX_PATH "' --presence -f \"$META\"");
        expect_same("DMR lines" + suffix, dmr.meta, c.lines["dmr" + suffix]);
        expect_same("DMR voice" + suffix, dmr.out, c.units["dmr" + suffix]);
        chain_output ysf = through_pipes(dir, in, "'" + q + "'" + flag + " < \"$IN\" | '" ORBAVOX_PATH "' -f \"$META\"");
        expect_same("YSF lines" + suffix, ysf.meta, c.lines["ysf" + suffix]);
        expect_same("YSF voice" + suffix, ysf.out, c.units["ysf" + suffix]);
        reports += dmr.meta.size() + ysf.meta.size();
        for (int baud : {512, 1200, 2400}) {
            std::string name = "pocsag" + std::to_string(baud) + suffix;
            chain_output pages;
            if (exact) {
                const double rate = baud == 512 ? 20480 : baud == 1200 ? 48000 : 96000;
                const std::vector<float> stream = rate == 48000 ? signal : resampled(signal, 48000, rate);
                pages = through_pipes(dir, stream,
                                      "'" DUOSLICE_PATH "'" + std::string(inverted ? " -i" : "") +
                                          " < \"$IN\" | '" PAGEWICK_PATH "' -F");
            } else {
                pages = through_pipes(dir, signal,
                                      "'" DUOLOCK_PATH "' -r " + std::to_string(baud) + flag +
                                          " < \"$IN\" | '" PAGEWICK_PATH "' -F");
            }
            std::string lines = c.lines[name];
            expect_same(name, pages.out, lines);
            reports += pages.out.size();
        }
    }
    EXPECT_GT(reports, 0u) << "the signal gave nothing to compare";
}

class Differential : public ::testing::Test {
   protected:
    void SetUp() override { dir = make_temp_dir(); }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

// Calls in both DMR slots with alias and position, System Fusion in its
// three voice modes, pages at the three rates; in either polarity, through
// noise, a clock error and a DC offset.
std::vector<float> generated(bool invert) {
    std::vector<std::string> channel = {"--snr", "18", "--ppm", "120", "--offset", "0.1"};
    if (invert) channel.push_back("--invert");
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), channel.begin(), channel.end());
        return airmint(args);
    };
    std::vector<float> s(12000, 0.0f);
    append(s, with({"--source", "2001", "--target", "9", "--superframes", "3", "--alias", "DL1ABC", "--position",
                    "48.1,11.5", "--other-call", "--other-direct", "--other-source", "2002", "--other-target", "3100",
                    "--seed", "1"}));
    for (const char *mode : {"dn", "v1", "vw"})
        append(s, with({"-p", "ysf", "--mode", mode, "--source", "N0CALL", "--target", "ALL", "--seed", "2"}));
    append(s, with({"-p", "pocsag", "--page", "1234567:Hello", "--numeric-page", "1234:5551234", "--seed", "3"}));
    append(s, with({"-p", "pocsag", "--baud", "512", "--page", "1000512:Slow page", "--seed", "4"}));
    append(s, with({"-p", "pocsag", "--baud", "2400", "--page", "1002400:Fast page", "--seed", "5"}));
    return s;
}

TEST_F(Differential, GeneratedSignalsGiveTheProgramsOutputByteForByte) {
    for (bool invert : {false, true}) {
        SCOPED_TRACE(invert ? "inverted signal" : "normal signal");
        std::vector<float> s = generated(invert);
        compare(dir, s, false);
        compare(dir, s, true);
    }
}

TEST_F(Differential, OffAirRecordingsGiveTheProgramsOutputByteForByte) {
    for (const char *name : {"pocsag_network_512.flac", "pocsag_network_1200.flac"}) {
        SCOPED_TRACE(name);
        std::vector<float> s = recording(std::string(ZELVANE_TESTDATA) + "/" + name);
        ASSERT_FALSE(s.empty());
        compare(dir, s, false);
        compare(dir, s, true);
    }
}

// The one-slot decoders that speech uses are tessavox behind its control
// fifo's slot filter.
TEST_F(Differential, OneSlotDecodersAreTheSlotFilteredProgram) {
    std::vector<float> s = generated(false);
    capture c = in_process(s, false, true);
    for (int slot : {1, 2}) {
        std::ofstream(dir + "/control") << slot << "\n";
        chain_output o = through_pipes(
            dir, s, "'" QUADLOCK_PATH "' < \"$IN\" | '" TESSAVOX_PATH "' -f \"$META\" -c '" + dir + "/control'");
        expect_same("slot " + std::to_string(slot) + " voice", o.out, c.units["dmr" + std::to_string(slot)]);
        EXPECT_GT(o.out.size(), 0u);
    }
}

}  // namespace
