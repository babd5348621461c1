// SPDX-License-Identifier: MIT
// quadlock and duolock as real processes through real pipes, on signals
// made by airmint: the symbols and bits they recover are compared with the
// ones airmint sent (its -o symbols and -o bits output).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "testing/process.h"

namespace {

const char quadlock_usage[] =
    "quadlock version 0.3.0\n\nUsage: quadlock [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    negate the input (receiver of the other polarity)\n";
const char duolock_usage[] =
    "duolock version 0.3.0\n\nUsage: duolock [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n -v, --version   print version and exit\n"
    " -i, --invert    invert bits (used e.g in pocsag)\n"
    " -r, --rate N    bits per second: 512, 1200 (default) or 2400\n";
const char version_line[] = "zelvane version 0.3.0\n";

std::string airmint(const std::vector<std::string> &args) {
    const program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

program_result run_clean(const char *path, const std::vector<std::string> &args, const std::string &input,
                         std::size_t chunk = 0) {
    program_result r = run_program(path, args, input, chunk);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err, "");
    return r;
}

// The number of units of sent[from, to) that differ from the received
// stream, at the alignment (received index = sent index + shift, shift in
// -max_shift..max_shift) that gives the fewest.
std::size_t errors_at_best_shift(const std::string &sent, const std::string &received, std::size_t from, std::size_t to,
                                 long first_shift, long last_shift) {
    std::size_t best = std::numeric_limits<std::size_t>::max();
    for (long shift = first_shift; shift <= last_shift; ++shift) {
        std::size_t errors = 0;
        for (std::size_t i = from; i < to && i < sent.size(); ++i) {
            const long j = static_cast<long>(i) + shift;
            errors +=
                j < 0 || j >= static_cast<long>(received.size()) || received[static_cast<std::size_t>(j)] != sent[i];
        }
        if (errors < best) best = errors;
    }
    return best;
}

std::string noise_samples(std::size_t count, double sigma, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<float> samples(count);
    for (float &s : samples) s = static_cast<float>(normal(random));
    return as_bytes(samples);
}

// Four-level symbols at 10 samples each, so symbol k of a baseband lies at
// byte 40 k.
constexpr std::size_t symbol_bytes = 10 * sizeof(float);

}  // namespace

TEST(LockPrograms, HelpVersionAndRate) {
    const struct {
        const char *path;
        std::vector<std::string> args;
        std::string out, err;
    } cases[] = {
        {QUADLOCK_PATH, {"-h"}, "", quadlock_usage},
        {QUADLOCK_PATH, {"--help"}, "", quadlock_usage},
        {QUADLOCK_PATH, {"-v"}, version_line, ""},
        {QUADLOCK_PATH, {"-i", "--version"}, version_line, ""},
        {DUOLOCK_PATH, {"-h"}, "", duolock_usage},
        {DUOLOCK_PATH, {"-r", "2400", "--help"}, "", duolock_usage},
        {DUOLOCK_PATH, {"--version"}, version_line, ""},
        {DUOLOCK_PATH, {"-ir", "512", "-v"}, version_line, ""},
        {DUOLOCK_PATH, {"--rate", "300", "-v"}, version_line, "rate 300 unknown, using 1200\n"},
        {DUOLOCK_PATH, {"-r", "2400", "-r", "1200x", "-v"}, version_line, "rate 1200x unknown, using 2400\n"},
    };
    for (const auto &c : cases) {
        const program_result r = run_program(c.path, c.args, as_bytes(std::vector<float>(100, 0.0f)));
        SCOPED_TRACE(std::string(c.path) + " " + c.args[0]);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.exit_code, 0);
    }
}

// A transmission that starts 40 symbols before its first frame or burst
// (System Fusion: after 480 idle symbols; DMR: after two idle burst pairs of
// 288 symbols), at any fraction of a symbol, after half a second of
// receiver noise: the first frame (its sync, the header's FICH and call
// signs), or the first two bursts (the voice header and its slot's CACH),
// come out exactly. This is the acquisition a receiver needs for a
// transmission caught mid-air; the slicer takes hundreds of symbols.
TEST(LockPrograms, QuadlockLocksWithinTheFirstSyncAtAnyPhase) {
    const struct {
        const char *protocol;
        std::size_t lead, length;
    } transmissions[] = {{"ysf", 480, 480}, {"dmr", 576, 288}};
    const std::string noise = noise_samples(24000, 0.6, 7);
    for (const auto &t : transmissions) {
        const std::string sent = airmint({"-p", t.protocol, "-o", "symbols"});
        const std::size_t start = t.lead - 40;
        for (const char *phase : {"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"}) {
            for (const char *level : {"1", "0.3", "3"}) {
                SCOPED_TRACE(std::string(t.protocol) + " phase " + phase + " amplitude " + level);
                const std::string baseband = airmint(
                    {"-p", t.protocol, "--roll-off", "0.2", "--phase", phase, "--amplitude", level, "--snr", "20"});
                const program_result r = run_clean(QUADLOCK_PATH, {}, noise + baseband.substr(start * symbol_bytes));
                // Symbol s of the transmission comes out near 2400 + s - start;
                // the timing wanders a little in the noise before it.
                const long shift = 2400 - static_cast<long>(start);
                EXPECT_EQ(errors_at_best_shift(sent, r.out, t.lead, t.lead + t.length, shift - 10, shift + 10), 0u);
            }
        }
    }
}

// A System Fusion reply one second after the call before it, with receiver
// noise in the gap and only 10 symbols of signal before the reply's header:
// the demodulator settles on the header's sync, whose symbols come out with
// wrong bits while the FICH and the data channels behind it are right.
// quadlock | orbavox still reports the header's call signs (a line with
// target and source and no mode, the header's own), not only those of the
// later frames.
TEST(LockPrograms, SystemFusionHeaderAfterAOneSecondGap) {
    const std::string first = airmint({"-p", "ysf", "--roll-off", "0.2", "--source", "F1AAA"});
    const std::string reply = airmint({"-p", "ysf", "--roll-off", "0.2", "--source", "F1SER"});
    // airmint's 480 idle symbols before the header, all but the last 10.
    const std::string reply_start = reply.substr(470 * symbol_bytes);
    const std::string dir = make_temp_dir();
    const std::string meta = dir + "/meta";
    for (double sigma : {0.5, 2.0})
        for (unsigned seed : {1u, 2u, 3u, 4u}) {
            SCOPED_TRACE("noise " + std::to_string(sigma) + " seed " + std::to_string(seed));
            const program_result symbols =
                run_clean(QUADLOCK_PATH, {}, first + noise_samples(48000, sigma, seed) + reply_start);
            const program_result decoded = run_program(ORBAVOX_PATH, {"-f", meta}, symbols.out);
            EXPECT_EQ(decoded.exit_code, 0);
            const std::string lines = read_file(meta);
            EXPECT_NE(lines.find("protocol:YSF;source:F1AAA     ;target:ALL       ;\n"), std::string::npos);
            EXPECT_NE(lines.find("protocol:YSF;source:F1SER     ;target:ALL       ;\n"), std::string::npos);
            EXPECT_EQ(decoded.err.find("CRC failure"), std::string::npos) << decoded.err;
        }
    std::filesystem::remove_all(dir);
}

// Clock errors of the receiver and of the transmitter, both polarities, DC
// offset and level, and clipping, on a System Fusion transmission of 60
// frames (29 000 symbols, 29 symbols of drift at 1000 ppm): after the
// first frame every symbol comes out right at 20 dB.
TEST(LockPrograms, QuadlockHoldsClockErrorsLevelsAndPolarity) {
    const std::vector<std::string> transmission = {"-p", "ysf", "--frames", "60"};
    const std::string sent = airmint(joined(transmission, {"-o", "symbols"}));
    const struct {
        std::vector<std::string> channel;
        std::vector<std::string> options;
    } cases[] = {
        {{"--ppm", "1000"}, {}},
        {{"--ppm", "-1000"}, {}},
        {{"--tx-ppm", "1000", "--phase", "0.5"}, {}},
        {{"--tx-ppm", "-1000", "--ppm", "-500"}, {}},
        {{"--invert"}, {"-i"}},
        {{"--invert", "--ppm", "700"}, {"--invert"}},
        {{"--amplitude", "0.05", "--offset", "0.08"}, {}},
        {{"--amplitude", "40", "--offset", "-25"}, {}},
        {{"--clip", "1.2"}, {}},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const std::string &a : c.channel) shown += a + " ";
        SCOPED_TRACE(shown);
        const std::string baseband =
            airmint(joined(joined(transmission, {"--roll-off", "0.2", "--snr", "20"}), c.channel));
        const program_result r = run_clean(QUADLOCK_PATH, c.options, baseband);
        EXPECT_NEAR(static_cast<double>(r.out.size()), static_cast<double>(sent.size()), 8.0);
        EXPECT_EQ(errors_at_best_shift(sent, r.out, 480, sent.size() - 10, -2, 2), 0u);
    }
    // The wrong polarity gives another stream: the option is not a no-op.
    const std::string inverted = airmint(joined(transmission, {"--roll-off", "0.2", "--invert"}));
    const program_result wrong = run_clean(QUADLOCK_PATH, {}, inverted);
    EXPECT_GT(errors_at_best_shift(sent, wrong.out, 480, sent.size() - 10, -2, 2), sent.size() / 2);
}

// POCSAG at each rate, from any phase, with clock errors of both ends, as
// shaped or square NRZ, hard limited, and in noise: every bit from the
// middle of the 576-bit preamble on comes out as sent. Without -i the
// bits come out inverted (airmint sends bit 1 as the negative level).
TEST(LockPrograms, DuolockTakesEveryRateClockErrorAndShape) {
    const std::vector<std::vector<std::string>> channels = {
        {},
        {"--phase", "0.5", "--tx-ppm", "1000"},
        {"--phase", "0.25", "--tx-ppm", "-1000", "--ppm", "-300"},
        {"--ppm", "1000", "--square"},
        {"--tx-ppm", "750", "--clip", "0.05", "--snr", "15"},
        {"--ppm", "-1000", "--snr", "0", "--offset", "0.3"},
        {"--amplitude", "0.01", "--phase", "0.75", "--square"},
    };
    for (const char *rate : {"512", "1200", "2400"}) {
        const std::vector<std::string> transmission = {
            "-p",           "pocsag", "--page", "1234567:duolock at every rate", "--numeric-page",
            "7:0123456789", "--baud", rate};
        const std::string sent = airmint({"-p", "pocsag", "--page", "1234567:duolock at every rate", "--numeric-page",
                                          "7:0123456789", "-o", "bits"});
        for (const auto &channel : channels) {
            std::string shown = std::string(rate) + " ";
            for (const std::string &a : channel) shown += a + " ";
            SCOPED_TRACE(shown);
            const std::string baseband = airmint(joined(transmission, channel));
            const program_result r = run_clean(DUOLOCK_PATH, {"-i", "-r", rate}, baseband);
            EXPECT_NEAR(static_cast<double>(r.out.size()), static_cast<double>(sent.size()), 3.0);
            EXPECT_EQ(errors_at_best_shift(sent, r.out, 288, sent.size() - 4, -2, 2), 0u);
            if (channel.empty()) {
                std::string flipped = r.out;
                for (char &b : flipped) b = b ? 0 : 1;
                EXPECT_EQ(run_clean(DUOLOCK_PATH, {"--rate", rate}, baseband).out, flipped);
            }
        }
    }
}

// The output does not depend on how the input arrives: one byte at a time,
// in odd pieces that split samples, or all at once.
TEST(LockPrograms, OutputDoesNotDependOnBlockSizes) {
    // Cut short, and not at a whole sample.
    const std::string four =
        airmint({"-p", "ysf", "--roll-off", "0.2", "--snr", "12", "--ppm", "300"}).substr(0, 160003);
    const std::string two =
        airmint({"-p", "pocsag", "--baud", "512", "--snr", "3", "--tx-ppm", "-400"}).substr(0, 160003);
    const struct {
        const char *path;
        std::vector<std::string> args;
        const std::string &input;
    } cases[] = {{QUADLOCK_PATH, {}, four}, {DUOLOCK_PATH, {"-i", "-r", "512"}, two}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const std::string whole = run_clean(c.path, c.args, c.input).out;
        ASSERT_FALSE(whole.empty());
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1021}, std::size_t{65536}})
            EXPECT_EQ(run_clean(c.path, c.args, c.input, chunk).out, whole) << chunk;
    }
}

// Empty input, a partial sample, random bytes, NaN, infinities and huge
// values end cleanly, and a signal after them is still received: nothing
// poisons the loops.
TEST(LockPrograms, HostileInputEndsCleanlyAndLeavesTheLoopsWorking) {
    std::mt19937 random(11);
    std::string garbage(200000, '\0');
    for (char &c : garbage) c = static_cast<char>(random());
    std::vector<float> specials;
    for (int i = 0; i < 3000; ++i) {
        const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                3e38f,
                                -3e38f,
                                1e-40f,
                                0.0f};
        specials.push_back(values[i % 7]);
    }
    const std::string hostile = garbage + as_bytes(specials);
    for (const char *path : {QUADLOCK_PATH, DUOLOCK_PATH}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(run_clean(path, {}, "").out, "");
        EXPECT_EQ(run_clean(path, {}, "abc").out, "");
        run_clean(path, {}, hostile);
    }
    const std::string symbols = airmint({"-p", "ysf", "-o", "symbols"});
    const program_result four =
        run_clean(QUADLOCK_PATH, {}, hostile + airmint({"-p", "ysf", "--roll-off", "0.2", "--snr", "20"}));
    const long four_shift = static_cast<long>(hostile.size() / symbol_bytes);
    EXPECT_EQ(errors_at_best_shift(symbols, four.out, 480, symbols.size() - 10, four_shift - 20, four_shift + 20), 0u);

    const std::string bits = airmint({"-p", "pocsag", "-o", "bits"});
    const program_result two = run_clean(DUOLOCK_PATH, {"-i"}, hostile + airmint({"-p", "pocsag", "--snr", "10"}));
    const long two_shift = static_cast<long>(hostile.size() / (40 * sizeof(float)));
    EXPECT_EQ(errors_at_best_shift(bits, two.out, 288, bits.size() - 4, two_shift - 20, two_shift + 20), 0u);
}
