// SPDX-License-Identifier: MIT
// airmint as a program: its texts, its refusals, the symbol and bit bytes it
// writes (the encoders' own, between lead-in and tail), and the channel it
// puts the baseband through.

#include <gtest/gtest.h>
#ifdef ZELVANE_HAVE_PCMWAV
#include <sndfile.h>
#endif
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "dmr_encode.h"
#include "dmr_signal.h"
#include "pocsag_encode.h"
#include "pocsag_signal.h"
#include "testing/process.h"
#include "version.h"
#include "ysf_encode.h"
#include "ysf_signal.h"

namespace {

program_result airmint(const std::vector<std::string> &args) { return run_program(AIRMINT_PATH, args, ""); }

TEST(Airmint, UsageAndVersion) {
    program_result help = airmint({"-h"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out, "");
    EXPECT_EQ(help.err.rfind("airmint version " ZELVANE_VERSION "\n\nUsage: airmint [options]", 0), 0u) << help.err;
    EXPECT_NE(help.err.find("status 2"), std::string::npos);
    for (const char *option : {"-v", "--version"}) {
        program_result version = airmint({option, "-h"});
        EXPECT_EQ(version.exit_code, 0);
        EXPECT_EQ(version.out, "zelvane version " ZELVANE_VERSION "\n");
        EXPECT_EQ(version.err, "");
    }
}

TEST(Airmint, BadArgumentsGetOneLineAndStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {"-p", "dstar"},
        {"--slot", "2"},
        {"--snr", "loud"},
        {"--snr", "nan"},
        {"--amplitude", "0"},
        {"--ppm", "1e9"},
        {"--no-such-option"},
        {"--superframes"},
        {"-t", "0"},
        {"--source", "16777216"},
        {"-o", "bits"},
        {"-o", "symbols", "--snr", "20"},
        {"--mode", "dn"},
        {"--page", "10:AB"},
        {"--voice", "/nonexistent/voice.bin"},
        {"--voice", "/"},
        {"-p", "ysf", "--voice", "/"},
        {"-p", "ysf", "--target", "ELEVENCHARS"},
        {"-p", "ysf", "--mode", "vw", "--position", "51.5,-0.125"},
        {"-p", "ysf", "--position", "10,-179.99999"},
        {"-p", "ysf", "--radio", "1FF"},
        {"-p", "ysf", "--slot", "1"},
        {"-p", "ysf", "--alias", "DL1ABC"},
        {"--alias", "J\xC3\xBCrgen", "--alias-format", "7bit"},
        {"--alias", "0123456789012345678901234567890123"},
        {"--alias", "\xC3"},
        {"--alias-format", "ebcdic"},
        {"--position", "90.5,0"},
        {"--position", "0,-180.5"},
        {"--position", "48.1"},
        {"-p", "pocsag", "-o", "symbols"},
        {"-p", "pocsag", "--numeric-page", "10:12A"},
        {"-p", "pocsag", "--page", "2097152:Hi"},
        {"-p", "pocsag", "--page", "10/4:Hi"},
        {"-p", "pocsag", "--page", "no colon"},
        {"-p", "pocsag", "--tone-page", "8:Hi"},
        {"-p", "pocsag", "--tone-page", "8/4"},
        {"-p", "pocsag", "--roll-off", "0.3"},
        {"-p", "pocsag", "--voice", "voice.bin"},
        {"-p", "pocsag", "--baud", "300"},
        {"--baud", "512"},
        {"--square"},
        {"--phase", "1"},
        {"--clip", "0"},
        {"--tx-ppm", "1e9"},
        {"-p", "pocsag", "-o", "bits", "--baud", "2400"},
        {"stray"},
        {"--csbk", "64"},
        {"--csbk", "4/256"},
        {"--csbk", "x"},
        {"-p", "ysf", "--csbk", "4"},
        {"--privacy", "1"},
        {"--privacy", "256:1"},
        {"--data-rate", "quarter"},
        {"--text-format", "ebcdic"},
        {"--location", "91,0"},
        {"--location", "10"},
        {"--text", "\xE2\x9C\x93", "--text-format", "iso8859"},
        {"--text", std::string(2000, 'a'), "--text-format", "utf8"},
    };
    for (const auto &args : cases) {
        std::string shown;
        for (const std::string &a : args) shown += a + " ";
        SCOPED_TRACE(shown);
        program_result r = airmint(args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        // airmint's own messages, or the option parser's under the program's path.
        EXPECT_TRUE(r.err.rfind("airmint: ", 0) == 0 || r.err.rfind(AIRMINT_PATH ": ", 0) == 0) << r.err;
    }
}

TEST(Airmint, VoiceFilesOfTheWrongSizeAreRefused) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/voice";
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite("0123456789abcd", 1, 14, f);  // two 7-byte frames, not 12-byte ones
    std::fclose(f);
    EXPECT_EQ(airmint({"--voice", path}).exit_code, 2);
    EXPECT_EQ(airmint({"-p", "ysf", "--mode", "vw", "--voice", path}).exit_code, 2);
    program_result ok = airmint({"-p", "ysf", "--voice", path, "-o", "symbols"});
    EXPECT_EQ(ok.exit_code, 0) << ok.err;
    std::remove(path.c_str());
}

// The call's bursts in the symbol output: every timeslot of the call's slot
// after the lead-in holds the encoder's burst, under a busy CACH of that slot.
TEST(Airmint, DmrSymbolsAreTheEncodersBursts) {
    const std::string dir = make_temp_dir();
    const std::string voice_path = dir + "/voice";
    const std::vector<dmr_encode::codec_frame> voice = dmr_encode::test_pattern_frames(20);
    FILE *f = std::fopen(voice_path.c_str(), "wb");
    for (const auto &frame : voice) std::fwrite(frame.data(), 1, 12, f);
    std::fclose(f);

    program_result r = airmint({"-o", "symbols", "-s", "1", "--direct", "-t", "77", "--source", "1234", "--colour-code",
                                "3", "--voice", voice_path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    dmr_encode::call c;
    c.slot = 1;
    c.group = false;
    c.target = 77;
    c.source = 1234;
    c.colour_code = 3;
    const std::vector<dmr_encode::burst> bursts = dmr_encode::call_bursts(c, voice);  // 2 superframes
    const std::size_t pairs = dmr_lead_pairs + bursts.size() + dmr_tail_pairs;
    ASSERT_EQ(r.out.size(), pairs * 2 * dmr_encode::timeslot_symbols);
    uint8_t busy_cach[dmr_encode::cach_symbols];
    dmr_encode::build_cach(dmr_encode::tact_word(1, 1, 0), 0, busy_cach);
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        const std::size_t at = ((dmr_lead_pairs + i) * 2 + 1) * dmr_encode::timeslot_symbols;
        EXPECT_EQ(r.out.substr(at, dmr_encode::cach_symbols),
                  std::string(reinterpret_cast<const char *>(busy_cach), dmr_encode::cach_symbols));
        EXPECT_EQ(r.out.substr(at + dmr_encode::cach_symbols, dmr_encode::burst_symbols),
                  std::string(reinterpret_cast<const char *>(bursts[i].symbols), dmr_encode::burst_symbols))
            << "burst " << i;
    }
    std::remove(voice_path.c_str());
}

TEST(Airmint, YsfSymbolsAreTheEncodersFrames) {
    program_result r =
        airmint({"-p", "ysf", "-o", "symbols", "--mode", "v1", "--frames", "3", "-t", "CQ", "--source", "DL1ABC"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ysf_encode::transmission_plan plan;
    plan.data_type = ysf_encode::fich_dt_vd_mode1;
    plan.communication_frames = 3;
    plan.calls.target = ysf_encode::call_sign("CQ");
    plan.calls.source = ysf_encode::call_sign("DL1ABC");
    plan.calls.down = ysf_encode::call_sign("");
    plan.calls.up = ysf_encode::call_sign("");
    ysf_encode::transmission t;
    ASSERT_TRUE(ysf_encode::build_transmission(plan, t));
    ASSERT_EQ(r.out.size(), ysf_lead_symbols + t.symbols.size() + ysf_tail_symbols);
    EXPECT_EQ(r.out.substr(ysf_lead_symbols, t.symbols.size()), std::string(t.symbols.begin(), t.symbols.end()));
    for (unsigned char s : r.out) ASSERT_LE(s, 3);
}

TEST(Airmint, PocsagBitsAreTheEncodersBatches) {
    program_result r = airmint({"-p", "pocsag", "-o", "bits", "--numeric-page", "10/1:123", "--page", "99:Hi",
                                "--tone-page", "671968/1", "--tone-page", "8"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::vector<uint8_t> bits = pocsag_transmission({{10, 1, pocsag_text_kind::numeric, "123"},
                                                           {99, 3, pocsag_text_kind::alphanumeric, "Hi"},
                                                           {671968, 1, pocsag_text_kind::numeric, ""},
                                                           {8, 0, pocsag_text_kind::numeric, ""}});
    ASSERT_EQ(r.out.size(), bits.size() + pocsag_tail_bits);
    EXPECT_EQ(r.out.substr(0, bits.size()), std::string(bits.begin(), bits.end()));
}

double mean_square(const std::vector<float> &v) {
    double sum = 0.0;
    for (float x : v) sum += static_cast<double>(x) * x;
    return sum / static_cast<double>(v.size());
}

TEST(Airmint, NoiseIsSeededAndAtTheAskedLevel) {
    const std::vector<float> clean = from_bytes<float>(airmint({}).out);
    const std::string a = airmint({"--snr", "10", "--seed", "42"}).out;
    EXPECT_EQ(a, airmint({"--snr", "10", "--seed", "42"}).out);
    EXPECT_NE(a, airmint({"--snr", "10", "--seed", "43"}).out);
    const std::vector<float> noisy = from_bytes<float>(a);
    ASSERT_EQ(noisy.size(), clean.size());
    ASSERT_GT(clean.size(), 30000u);
    std::vector<float> noise(clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) noise[i] = noisy[i] - clean[i];
    // Mean power of the four levels +-1, +-1/3 over 10 dB.
    EXPECT_NEAR(mean_square(noise), (5.0 / 9.0) / 10.0, 0.003);
    // The shaped signal itself has about the power of its levels.
    EXPECT_NEAR(mean_square(clean), 5.0 / 9.0, 0.1);
}

TEST(Airmint, AmplitudeOffsetPolarityAndClockError) {
    for (const char *protocol : {"dmr", "pocsag"}) {
        SCOPED_TRACE(protocol);
        const std::vector<float> clean = from_bytes<float>(airmint({"-p", protocol}).out);
        const std::vector<float> scaled =
            from_bytes<float>(airmint({"-p", protocol, "--amplitude", "0.25", "--offset", "-0.5"}).out);
        const std::vector<float> inverted = from_bytes<float>(airmint({"-p", protocol, "--invert"}).out);
        ASSERT_EQ(scaled.size(), clean.size());
        ASSERT_EQ(inverted.size(), clean.size());
        for (std::size_t i = 0; i < clean.size(); ++i) {
            ASSERT_NEAR(scaled[i], 0.25f * clean[i] - 0.5f, 1e-5f) << i;
            ASSERT_EQ(inverted[i], -clean[i]) << i;
        }
        // A receiver clock 1000 ppm fast takes 1000 ppm more samples.
        const std::size_t fast = from_bytes<float>(airmint({"-p", protocol, "--ppm", "1000"}).out).size();
        EXPECT_NEAR(static_cast<double>(fast - 2), (clean.size() - 2) * 1.001, 1.0);
    }
}

TEST(Airmint, TwoLevelBitsHoldTheirLevelBetweenShortSteps) {
    // Bit 1 is the negative level; each step from one level to the other
    // takes a fifth of a bit (8 samples) around the boundary, and the bit's
    // other samples hold the level exactly.
    const std::vector<float> s = from_bytes<float>(airmint({"-p", "pocsag"}).out);
    const std::vector<uint8_t> bits =
        pocsag_stream_bits({{1234567, 3, pocsag_text_kind::alphanumeric, "airmint test page"}});
    ASSERT_EQ(s.size(), bits.size() * 40 + 2);
    for (std::size_t k = 1; k + 1 < bits.size(); ++k) {
        const float level = bits[k] ? -1.0f : 1.0f;
        for (int j = 4; j < 36; ++j) ASSERT_EQ(s[40 * k + j], level) << "bit " << k << " sample " << j;
        if (bits[k] != bits[k - 1]) {
            ASSERT_LT(std::fabs(s[40 * k]), 0.5f) << "bit " << k;  // mid-step
            ASSERT_LT(std::fabs(s[40 * k - 1]), 0.5f) << "bit " << k;
        }
    }
}

// Square NRZ at the three rates, by hand: sample n is taken at n + 0.5
// sample periods, which with the start F of a bit late falls in bit
// floor((n + 0.5) / period - F); before bit 0 the signal is 0. Clipping
// limits each sample of the shaped signal, and a transmitter clock E ppm
// fast shortens the transmission by the same factor.
TEST(Airmint, BitRatesPhaseClipAndTransmitterClock) {
    const std::vector<uint8_t> bits =
        pocsag_stream_bits({{1234567, 3, pocsag_text_kind::alphanumeric, "airmint test page"}});
    const struct {
        const char *rate;
        double period;
        const char *phase;
    } cases[] = {{"512", 93.75, "0.25"}, {"1200", 40.0, "0.5"}, {"2400", 20.0, "0.9"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        const std::vector<float> s =
            from_bytes<float>(airmint({"-p", "pocsag", "--baud", c.rate, "--square", "--phase", c.phase}).out);
        const double phase = std::stod(c.phase);
        ASSERT_EQ(s.size(), static_cast<std::size_t>(std::ceil((bits.size() + phase) * c.period)) + 2);
        for (std::size_t n = 0; n < s.size(); ++n) {
            const long k = static_cast<long>(std::floor((static_cast<double>(n) + 0.5) / c.period - phase));
            const float want = k < 0 || k >= static_cast<long>(bits.size()) ? 0.0f : bits[k] ? -1.0f : 1.0f;
            ASSERT_EQ(s[n], want) << "sample " << n;
        }
        const std::size_t fast =
            from_bytes<float>(airmint({"-p", "pocsag", "--baud", c.rate, "--tx-ppm", "1000"}).out).size();
        EXPECT_EQ(fast, static_cast<std::size_t>(std::ceil(bits.size() * c.period / 1.001)) + 2);
    }
    const std::vector<float> shaped = from_bytes<float>(airmint({"-p", "ysf", "--snr", "10"}).out);
    const std::vector<float> clipped = from_bytes<float>(airmint({"-p", "ysf", "--snr", "10", "--clip", "0.4"}).out);
    ASSERT_EQ(clipped.size(), shaped.size());
    for (std::size_t i = 0; i < shaped.size(); ++i)
        ASSERT_EQ(clipped[i], std::fmax(-0.4f, std::fmin(0.4f, shaped[i]))) << i;
}

}  // namespace

namespace {

#ifdef ZELVANE_HAVE_PCMWAV
TEST(Pcmwav, WrapsSamplesInAWavHeader) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/speech.wav";
    const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768};
    program_result r = run_program(PCMWAV_PATH, {path}, as_bytes(samples) + "x");  // a trailing half sample
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string wav = read_file(path);
    ASSERT_EQ(wav.size(), 44u + 10u);
    const unsigned char header[44] = {'R', 'I', 'F', 'F', 46, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                                      ' ', 16,  0,   0,   0,  1, 0,   1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E,
                                      0,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a',  10,   0,   0,   0};
    EXPECT_EQ(wav.substr(0, 44), std::string(reinterpret_cast<const char *>(header), 44));
    const unsigned char data[10] = {0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80};
    EXPECT_EQ(wav.substr(44), std::string(reinterpret_cast<const char *>(data), 10));
    EXPECT_EQ(run_program(PCMWAV_PATH, {}, "").exit_code, 2);
    EXPECT_EQ(run_program(PCMWAV_PATH, {"-r", "0", path}, "").exit_code, 2);
    std::remove(path.c_str());
}

// Float samples keep their values (no normalisation, no clipping) and the
// rate of -r; the file is read back through libsndfile.
TEST(Pcmwav, WritesFloatSamplesAsTheyAre) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/speech.wav";
    const std::vector<float> samples = {0.0f, 0.25f, -1.0f, 1.5f, -3.0f};
    program_result r = run_program(PCMWAV_PATH, {"-f", "-r", "48000", path}, as_bytes(samples) + "xyz");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 1);
    ASSERT_EQ(info.frames, 5);
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    std::vector<float> back(5);
    EXPECT_EQ(sf_read_float(file, back.data(), 5), 5);
    sf_close(file);
    EXPECT_EQ(back, samples);
    std::remove(path.c_str());
}

// Samples reach the file while standard input is still open: a long run is
// not held in memory, and what was written so far is a readable WAV file.
TEST(Pcmwav, WritesEachBlockAsItArrives) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/speech.wav";
    running_program program = start_program(PCMWAV_PATH, {path});
    const std::vector<int16_t> first(8192, 1000);
    ASSERT_TRUE(write_input(program, as_bytes(first)));
    sf_count_t frames = 0;
    for (int tries = 0; tries < 500 && frames < 8192; ++tries) {
        usleep(10000);
        SF_INFO info{};
        if (SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info)) {
            frames = info.frames;
            sf_close(file);
        }
    }
    EXPECT_EQ(frames, 8192);
    program_result r = finish_program(program);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::remove(path.c_str());
}
#endif

}  // namespace
