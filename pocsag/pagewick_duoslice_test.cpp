// SPDX-License-Identifier: MIT
// The receiving chain for pages: two-level baseband through duoslice -i into
// pagewick, as real processes joined by a pipe.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "pocsag_encode.h"
#include "testing/process.h"

namespace {

constexpr int samples_per_bit = 40;

// Frequency-demodulated baseband of a bit stream: 40 samples per bit, bit 1
// the negative level, each change of level a raised-cosine step over 8
// samples (a fifth of a bit) centred on the bit boundary, with a small DC
// offset and noise.
std::vector<float> baseband_of(const std::vector<uint8_t> &bits, float amplitude, float offset, uint32_t seed) {
    constexpr int ramp = 8;
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.03f * amplitude);
    std::vector<float> samples;
    samples.reserve(bits.size() * samples_per_bit);
    auto level = [&](std::size_t i) { return bits[i] ? -amplitude : amplitude; };
    for (std::size_t i = 0; i < bits.size(); ++i) {
        float previous = i > 0 ? level(i - 1) : level(i);
        float next = i + 1 < bits.size() ? level(i + 1) : level(i);
        for (int j = 0; j < samples_per_bit; ++j) {
            float v = level(i);
            if (j < ramp / 2) {
                // second half of the step from the previous bit
                double t = 0.5 + (j + 0.5) / ramp;
                v = static_cast<float>(previous + (level(i) - previous) * (0.5 - 0.5 * std::cos(M_PI * t)));
            } else if (j >= samples_per_bit - ramp / 2) {
                // first half of the step into the next bit
                double t = (j - (samples_per_bit - ramp / 2) + 0.5) / ramp;
                v = static_cast<float>(level(i) + (next - level(i)) * (0.5 - 0.5 * std::cos(M_PI * t)));
            }
            samples.push_back(v + offset + noise(random));
        }
    }
    return samples;
}

TEST(PagewickChain, DuosliceInvertedFeedsPagewick) {
    const std::vector<pocsag_page> pages = {
        {10, 0, pocsag_text_kind::numeric, "12345"},
        {1234567, 3, pocsag_text_kind::alphanumeric, "Pages through the whole receiving chain"},
        {2097151, 0, pocsag_text_kind::numeric, "911 (U)-*"},
    };
    std::vector<uint8_t> bits = pocsag_transmission(pages);
    // A little idle signal after the transmission, so that the last batch is
    // fully demodulated and decoded.
    for (int i = 0; i < 64; ++i) bits.push_back(static_cast<uint8_t>(i & 1));
    const std::string expected =
        "address:10;message:12345\n"
        "address:1234567;message:Pages through the whole receiving chain\n"
        "address:2097151;message:911 (U)-* \n";  // filled up with a space
    const std::string chain = std::string("\"$0\" -i | \"$1\"");
    for (float amplitude : {1.0f, 0.2f}) {
        SCOPED_TRACE(amplitude);
        std::string input = as_bytes(baseband_of(bits, amplitude, 0.05f * amplitude, 99));
        program_result r = run_program("/bin/sh", {"-c", chain, DUOSLICE_PATH, PAGEWICK_PATH}, input, 4096);
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err.rfind("found sync at ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("failure"), std::string::npos) << r.err;
        EXPECT_EQ(r.exit_code, 0);
    }
}

}  // namespace
