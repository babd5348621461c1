// SPDX-License-Identifier: MIT
// airmix through its command line: where and how strong each transmission
// lands, the three formats, the noise, airmint run in-process, the refusals.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "testing/process.h"

namespace {

class Airmix : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/airmix_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string write_baseband(const std::string &name, const std::vector<float> &samples) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(samples.data()), static_cast<long>(samples.size() * sizeof(float)));
        return path;
    }

    std::string dir;
};

std::vector<std::complex<double>> cf32(const std::string &bytes) {
    std::vector<float> f(bytes.size() / 4);
    std::memcpy(f.data(), bytes.data(), f.size() * 4);
    std::vector<std::complex<double>> z;
    for (size_t n = 0; n + 1 < f.size(); n += 2) z.emplace_back(f[n], f[n + 1]);
    return z;
}

program_result airmix(const std::vector<std::string> &args) { return run_program(AIRMIX_PATH, args, ""); }

// Mean frequency (Hz) and RMS over samples from..to.
std::pair<double, double> tone(const std::vector<std::complex<double>> &z, size_t from, size_t to, double rate) {
    std::complex<double> turn = 0;
    double power = 0;
    for (size_t n = from + 1; n < to; ++n) {
        turn += z[n] * std::conj(z[n - 1]);
        power += std::norm(z[n]);
    }
    return {std::arg(turn) * rate / (2 * std::numbers::pi), std::sqrt(power / static_cast<double>(to - from - 1))};
}

}  // namespace

TEST_F(Airmix, EachTransmissionAtItsOffsetDeviationLevelAndTime) {
    // A constant baseband is a carrier moved by its deviation: 0.25 at
    // 2000 Hz a unit is +500 Hz.
    std::string steady = write_baseband("steady.f32", std::vector<float>(48000, 0.25f));
    std::string low = write_baseband("low.f32", std::vector<float>(24000, -0.5f));
    program_result r =
        airmix({"-r", "240000", "-f", "cf32", "--deviation", "2000", "--signal", "30k,-6.0206,0.5," + steady,
                "--deviation", "4500", "--signal", "-62.5k,-20,0.2," + low});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::complex<double>> z = cf32(r.out);
    // To the end of the last transmission (1.5 s) and 0.1 s more.
    EXPECT_EQ(z.size(), 240000u * 16 / 10);
    // 0.2 s .. 0.5 s: the second alone, 0.1 amplitude at -62.5 kHz - 2250 Hz.
    auto [f2, a2] = tone(z, 52000, 118000, 240000);
    EXPECT_NEAR(f2, -64750, 1.0);
    EXPECT_NEAR(a2, 0.1, 0.001);
    // 0.7 s .. 1.4 s: the first alone at 30.5 kHz, amplitude 0.5.
    auto [f1, a1] = tone(z, 170000, 336000, 240000);
    EXPECT_NEAR(f1, 30500, 1.0);
    EXPECT_NEAR(a1, 0.5, 0.002);
    // Nothing before 0.2 s nor after 1.5 s.
    EXPECT_LT(tone(z, 0, 47000, 240000).second, 1e-6);
    EXPECT_LT(tone(z, 361000, z.size(), 240000).second, 1e-6);

    // --seconds cuts or extends.
    r = airmix({"-r", "240000", "-f", "cf32", "--seconds", "0.25", "--signal", "0,-10,0," + steady});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.size(), 60000u * 8);
}

TEST_F(Airmix, FormatsHoldTheSameCaptureAtTheirScale) {
    std::vector<float> b(9600);
    for (size_t n = 0; n < b.size(); ++n) b[n] = static_cast<float>(std::sin(n * 0.01));
    std::string path = write_baseband("wobble.f32", b);
    std::vector<std::string> args = {
        "-r", "250000", "--signal", "40k,-6,0," + path, "--signal", "-70k,-12,0.05," + path};
    auto with = [&](const char *format) {
        std::vector<std::string> a = args;
        a.insert(a.begin(), {"-f", format});
        program_result r = airmix(a);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return r.out;
    };
    std::vector<std::complex<double>> z = cf32(with("cf32"));
    std::string u8 = with("cu8"), s16 = with("cs16"), dflt = airmix(args).out;
    ASSERT_EQ(u8.size(), 2 * z.size());
    ASSERT_EQ(s16.size(), 4 * z.size());
    EXPECT_EQ(dflt, u8);  // cu8 unless told
    for (size_t n = 0; n < z.size(); ++n) {
        double parts[2] = {z[n].real(), z[n].imag()};
        for (int k = 0; k < 2; ++k) {
            double u = static_cast<uint8_t>(u8[2 * n + k]);
            ASSERT_NEAR(u, 127.5 + 127.5 * parts[k], 0.5 + 1e-4) << n;
            int16_t s;
            std::memcpy(&s, s16.data() + 4 * n + 2 * k, 2);
            ASSERT_NEAR(s, 32767 * parts[k], 0.5 + 1e-3) << n;
        }
    }
}

TEST_F(Airmix, NoisePowerIsPerTwelveAndAHalfKilohertz) {
    std::string path = write_baseband("quiet.f32", std::vector<float>(48000, 0.0f));
    program_result r =
        airmix({"-r", "240000", "-f", "cf32", "--noise", "-40", "--seed", "7", "--signal", "0,-200,0," + path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::complex<double>> z = cf32(r.out);
    double power = 0;
    for (auto v : z) power += std::norm(v);
    power /= static_cast<double>(z.size());
    // -40 dBFS in 12.5 kHz over 240 kHz: 19.2 times that in all.
    EXPECT_NEAR(power / (1e-4 * 19.2), 1.0, 0.02);
    // The same seed, the same noise; another, other noise.
    EXPECT_EQ(
        airmix({"-r", "240000", "-f", "cf32", "--noise", "-40", "--seed", "7", "--signal", "0,-200,0," + path}).out,
        r.out);
    EXPECT_NE(
        airmix({"-r", "240000", "-f", "cf32", "--noise", "-40", "--seed", "8", "--signal", "0,-200,0," + path}).out,
        r.out);
    // Too much noise for cu8 is clipped and said so.
    r = airmix({"-r", "240000", "--noise", "0", "--signal", "0,-200,0," + path});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find("clipped"), std::string::npos) << r.err;
}

TEST_F(Airmix, AirmintRunInProcessEqualsItsFile) {
    std::vector<std::string> dmr = {"-p", "dmr", "--source", "2001", "--target", "9"};
    program_result made = run_program(AIRMINT_PATH, dmr, "");
    ASSERT_EQ(made.exit_code, 0) << made.err;
    std::string path = dir + "/dmr.f32";
    std::ofstream(path, std::ios::binary) << made.out;
    program_result from_file = airmix({"-r", "2400000", "--seconds", "0.3", "--signal", "-100k,-20,0.01," + path});
    program_result run =
        airmix({"-r", "2400000", "--seconds", "0.3", "--airmint", "-100k,-20,0.01,-p dmr --source 2001  --target 9"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.size(), 2400000u * 3 / 10 * 2);
    EXPECT_TRUE(run.out == from_file.out);

    // Quoted words keep their spaces, as in a shell.
    made = run_program(AIRMINT_PATH, {"-p", "pocsag", "--page", "1234567:Hello 'there' now"}, "");
    ASSERT_EQ(made.exit_code, 0) << made.err;
    std::ofstream(path, std::ios::binary) << made.out;
    from_file = airmix({"-r", "240000", "--signal", "0,-20,0," + path});
    run = airmix({"-r", "240000", "--airmint", "0,-20,0,-p pocsag --page \"1234567:Hello 'there' now\""});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out == from_file.out);
    run = airmix({"-r", "240000", "--airmint", "0,-20,0,-p pocsag --page 1234567:Hello\\ \\'there\\'\\ now"});
    EXPECT_TRUE(run.out == from_file.out) << run.err;
    EXPECT_EQ(airmix({"-r", "240000", "--airmint", "0,-20,0,-p pocsag --page '1234567:Hi"}).exit_code, 2);
}

TEST_F(Airmix, RefusalsAreOneLineAndStatusTwo) {
    std::string path = write_baseband("ok.f32", std::vector<float>(480, 0.0f));
    std::string odd = dir + "/odd.f32";
    std::ofstream(odd) << "abc";
    struct row {
        std::vector<std::string> args;
        const char *says;
    } rows[] = {
        {{"--signal", "0,-10,0," + path}, "rate is needed"},
        {{"-r", "100000", "--signal", "0,-10,0," + path}, "bad rate"},
        {{"-r", "240000"}, "no transmission"},
        {{"-r", "240000", "-f", "cs8", "--signal", "0,-10,0," + path}, "bad format"},
        {{"-r", "240000", "--signal", "0,-10," + path}, "OFFSET,LEVEL,START"},
        {{"-r", "240000", "--signal", "12x,-10,0," + path}, "bad offset"},
        {{"-r", "240000", "--signal", "0,loud,0," + path}, "bad level"},
        {{"-r", "240000", "--signal", "0,-10,-1," + path}, "bad start"},
        {{"-r", "240000", "--signal", "119k,-10,0," + path}, "does not fit"},
        {{"-r", "240000", "--signal", "0,-10,0," + dir + "/missing.f32"}, "cannot read"},
        {{"-r", "240000", "--signal", "0,-10,0," + odd}, "not 32-bit float"},
        {{"-r", "240000", "--airmint", "0,-10,0,-p dmr --bogus"}, "airmint arguments"},
        {{"-r", "240000", "--airmint", "0,-10,0,-p nonsense"}, "airmint arguments"},
        {{"-r", "240000", "--airmint", "0,-10,0,-p dmr -o symbols"}, "baseband"},
        {{"-r", "240000", "--deviation", "0", "--signal", "0,-10,0," + path}, "bad deviation"},
        {{"-r", "240000", "--noise", "x", "--signal", "0,-10,0," + path}, "bad noise"},
        {{"-r", "240000", "--seconds", "0", "--signal", "0,-10,0," + path}, "bad length"},
        {{"-r", "240000", "--signal", "0,-10,0," + path, "extra"}, "unexpected argument"},
    };
    for (const row &r : rows) {
        program_result p = airmix(r.args);
        EXPECT_EQ(p.exit_code, 2) << r.says;
        EXPECT_EQ(p.out, "") << r.says;
        EXPECT_EQ(p.err.rfind("airmix: ", 0), 0u) << p.err;
        EXPECT_NE(p.err.find(r.says), std::string::npos) << p.err;
        EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
    }
    program_result help = airmix({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.err.find("Usage: airmix"), std::string::npos);
}
