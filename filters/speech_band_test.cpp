// SPDX-License-Identifier: MIT
#include "speech_band.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tone_gain.h"

namespace {

std::vector<float> filter_float(std::vector<float> samples) {
    speech_band_state state;
    speech_band_filter_float(state, samples.data(), samples.size());
    return samples;
}

std::vector<int16_t> filter_int16(std::vector<int16_t> samples) {
    speech_band_state state;
    speech_band_filter_int16(state, samples.data(), samples.size());
    return samples;
}

}  // namespace

TEST(SpeechBand, ImpulseResponseInFloatScale) {
    std::vector<float> impulse(8, 0.0f);
    impulse[0] = 1.0f;
    const std::vector<float> out = filter_float(impulse);
    const double expected[4] = {0.35416418, 0.36298543, -0.51784760, -0.35006824};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(out[i], expected[i], 5e-9) << "output " << i;
}

TEST(SpeechBand, ImpulseResponseIn16Bit) {
    std::vector<int16_t> positive(8, 0), negative(8, 0);
    positive[0] = 32767;
    negative[0] = -32768;
    const std::vector<int16_t> out_positive = filter_int16(positive);
    const std::vector<int16_t> out_negative = filter_int16(negative);
    EXPECT_EQ(std::vector<int16_t>(out_positive.begin(), out_positive.begin() + 4),
              (std::vector<int16_t>{11604, 11893, -16968, -11470}));
    EXPECT_EQ(std::vector<int16_t>(out_negative.begin(), out_negative.begin() + 4),
              (std::vector<int16_t>{-11605, -11894, 16968, 11471}));
}

TEST(SpeechBand, PassesTheSpeechBandAndStopsTheRest) {
    auto run = [](std::vector<float> &samples) {
        speech_band_state state;
        speech_band_filter_float(state, samples.data(), samples.size());
    };
    struct {
        double hz, low, high;
    } cases[] = {
        {1000, 0.99, 1.01}, {2000, 0.99, 1.01},  // pass band, unity gain
        {200, 0.68, 0.73},  {3400, 0.68, 0.73},  // 3 dB corners
        {50, 0.0, 0.002},   {3900, 0.0, 0.001},  // stop bands
    };
    for (auto c : cases) {
        const double gain = tone_gain(run, c.hz / 8000.0, 8000, 8000);
        EXPECT_GE(gain, c.low) << c.hz << " Hz";
        EXPECT_LE(gain, c.high) << c.hz << " Hz";
    }
}

TEST(SpeechBand, ConstantInputRingsThenDecaysToZero) {
    const std::vector<float> out = filter_float(std::vector<float>(4000, 0.5f));
    float early = 0, late = 0;
    for (int i = 0; i < 100; ++i) early = std::max(early, std::fabs(out[i]));
    for (int i = 3000; i < 4000; ++i) late = std::max(late, std::fabs(out[i]));
    EXPECT_GT(early, 0.1f);
    EXPECT_LT(late, 1e-6f);
}

TEST(SpeechBand, StateCarriesAcrossAnySplitOfTheInput) {
    std::vector<int16_t> input(200);
    uint32_t seed = 7;
    for (int16_t &s : input) s = static_cast<int16_t>((seed = seed * 1103515245u + 12345u) >> 16);
    const std::vector<int16_t> whole = filter_int16(input);
    for (std::size_t piece : {1u, 7u, 32u, 33u}) {
        speech_band_state state;
        std::vector<int16_t> split = input;
        for (std::size_t i = 0; i < split.size(); i += piece)
            speech_band_filter_int16(state, split.data() + i, std::min(piece, split.size() - i));
        EXPECT_EQ(split, whole) << "pieces of " << piece;
    }
}

TEST(SpeechBand, SixteenBitOutputSaturatesAndSilencesNaN) {
    const float inf = std::numeric_limits<float>::infinity();
    struct {
        float y;
        int16_t expected;
    } cases[] = {
        {0.0f, 0},           {0.5f, 16383},    {-0.5f, -16383},
        {1.0f, 32767},       {-1.0f, -32767},  {-32768.0f / 32767.0f, -32768},
        {1.00002f, 32767},   {1.9f, 32767},    {-1.9f, -32768},
        {1e30f, 32767},      {-1e30f, -32768}, {inf, 32767},
        {-inf, -32768},      {-1e-6f, 0},      {std::nanf(""), 0},
        {-std::nanf(""), 0},
    };
    for (auto c : cases) EXPECT_EQ(speech_band_to_int16(c.y), c.expected) << c.y;
}

TEST(SpeechBand, LoudSquareWaveClipsWithoutWrapping) {
    // A full-scale 1 kHz square wave overshoots to nearly twice full scale.
    std::vector<int16_t> square(400);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 4) % 2 ? -32768 : 32767;
    std::vector<float> scaled(square.size());
    for (std::size_t i = 0; i < square.size(); ++i) scaled[i] = speech_band_from_int16(square[i]);
    const std::vector<int16_t> out = filter_int16(square);
    const std::vector<float> reference = filter_float(scaled);
    int clipped = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double product = std::trunc(static_cast<double>(reference[i] * 32767.0f));
        EXPECT_EQ(out[i], static_cast<int16_t>(std::clamp(product, -32768.0, 32767.0))) << "sample " << i;
        if (std::fabs(product) > 32767.0) ++clipped;
    }
    EXPECT_GT(clipped, 50);
}

TEST(SpeechBand, NonFiniteSampleCountsAsZero) {
    std::vector<float> input(64);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = std::sin(0.7f * static_cast<float>(i));
    std::vector<float> zeroed = input;
    zeroed[10] = 0.0f;
    const std::vector<float> expected = filter_float(zeroed);
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {std::nanf(""), inf, -inf}) {
        input[10] = bad;
        EXPECT_EQ(filter_float(input), expected) << bad;
    }
}

TEST(SpeechBand, OverflowingSampleRestartsTheFilterFromRest) {
    // 3e38 / G fits a float, but two samples later it stands on the tenfold
    // tap of the numerator, which overflows: that output is 0 and the filter
    // starts again from rest with the next sample.
    std::vector<float> input(64);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = 0.5f * std::sin(0.3f * static_cast<float>(i));
    input[10] = 3e38f;
    const std::vector<float> out = filter_float(input);
    for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(std::isfinite(out[i])) << i;
    EXPECT_EQ(out[12], 0.0f);
    const std::vector<float> fresh = filter_float(std::vector<float>(input.begin() + 13, input.end()));
    EXPECT_EQ(std::vector<float>(out.begin() + 13, out.end()), fresh);
}
