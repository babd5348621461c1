// SPDX-License-Identifier: MIT
#include "frequency.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ParseFrequency, WrittenFormsGiveWholeHertz) {
    struct row {
        const char *text;
        long long hz;
    } rows[] = {
        {"2400000", 2400000},
        {"439.0125M", 439012500},
        {"12.5k", 12500},
        {"12.5K", 12500},
        {"1.2G", 1200000000},
        {"0.5k", 500},
        {".5k", 500},
        {"7.k", 7000},
        {"439.012500M", 439012500},
        {"0", 0},
        {"1000000000000", 1000000000000LL},
        {"144.8M", 144800000},
        {"1.000001M", 1000001},
    };
    for (const row &r : rows) {
        long long hz = -1;
        std::string error;
        EXPECT_TRUE(parse_frequency(r.text, hz, error)) << r.text << ": " << error;
        EXPECT_EQ(hz, r.hz) << r.text;
    }
}

TEST(ParseFrequency, JunkSignsFractionsAndOverflowAreRefused) {
    for (const char *text : {"",          "k",      "M",          ".",        "-12.5k",        "+5",
                             "12,5k",     "1e6",    "1.2.3M",     "12.5kHz",  "12.5 k",        " 5",
                             "439.0125m", "0x10",   "1.0000001M", "12.5001k", "1000000000001", "99999999999999999999",
                             "1001G",     "12.5k\n"}) {
        long long hz = 77;
        std::string error;
        EXPECT_FALSE(parse_frequency(text, hz, error)) << "'" << text << "' gave " << hz;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(ChannelList, ItemsInOrderAndFaultsRefused) {
    std::vector<long long> channels;
    std::string error;
    ASSERT_TRUE(parse_channel_list("439.0125M,439.025M,12500", channels, error)) << error;
    EXPECT_EQ(channels, (std::vector<long long>{439012500, 439025000, 12500}));
    for (const char *text : {"", ",", "439M,", ",439M", "439M,,440M", "439M,junk", "439M,439000000", "439M;440M"}) {
        error.clear();
        EXPECT_FALSE(parse_channel_list(text, channels, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string many;
    for (size_t n = 0; n <= max_listed_channels; ++n) many += (n ? "," : "") + std::to_string(1000000 + n);
    EXPECT_FALSE(parse_channel_list(many, channels, error));
}

TEST(ChannelPlan, EveryRasterChannelOfTheUsableBand) {
    // 2.4 MS/s at 439.2 MHz: usable +-960 kHz less half a slot.
    channel_plan_request request{2400000, 439200000, 12500, {}};
    std::vector<long long> channels;
    std::string error;
    ASSERT_TRUE(plan_channels(request, channels, error)) << error;
    usable_band band = usable_band_of(2400000, 439200000, 12500);
    EXPECT_EQ(band.low, 439200000 - 953750);
    EXPECT_EQ(band.high, 439200000 + 953750);
    EXPECT_EQ(channels.size(), 153u);
    EXPECT_EQ(channels.front(), 438250000);
    EXPECT_EQ(channels.back(), 440150000);
    for (long long hz : channels) EXPECT_EQ(hz % 12500, 0);

    // A centre off the raster: channels still on whole multiples of the spacing.
    request.center = 439206250;
    ASSERT_TRUE(plan_channels(request, channels, error)) << error;
    EXPECT_EQ(channels.size(), 152u);
    for (long long hz : channels) {
        EXPECT_EQ(hz % 12500, 0);
        EXPECT_LE(std::llabs(hz - request.center) + 6250, 960000);
    }

    // The smallest rate: 240 kHz holds +-96 kHz, 15 channels of 12.5 kHz.
    ASSERT_TRUE(plan_channels({240000, 145000000, 12500, {}}, channels, error)) << error;
    EXPECT_EQ(channels.size(), 15u);
    ASSERT_TRUE(plan_channels({240000, 145000000, 25000, {}}, channels, error)) << error;
    EXPECT_EQ(channels,
              (std::vector<long long>{144925000, 144950000, 144975000, 145000000, 145025000, 145050000, 145075000}));
}

TEST(ChannelPlan, ListedChannelsAreCheckedAgainstTheBand) {
    std::vector<long long> channels;
    std::string error;
    // Given out of order and off the raster: accepted, returned ascending.
    ASSERT_TRUE(plan_channels({2400000, 439200000, 12500, {439900000, 438500000, 439206250}}, channels, error));
    EXPECT_EQ(channels, (std::vector<long long>{438500000, 439206250, 439900000}));
    // The band's own edges are inside; one hertz further is not.
    ASSERT_TRUE(plan_channels({2400000, 439200000, 12500, {438246250, 440153750}}, channels, error)) << error;
    struct row {
        channel_plan_request request;
        const char *says;
    } rows[] = {
        {{2400000, 439200000, 12500, {440153751}}, "outside the usable band"},
        {{2400000, 439200000, 12500, {438246249}}, "outside the usable band"},
        {{2400000, 439200000, 12500, {446000000}}, "446.0000 MHz is outside"},
        {{2400000, 439200000, 12500, {439000000, 439000000}}, "listed twice"},
        {{0, 439200000, 12500, {}}, "rate"},
        {{2400000, 439200000, 0, {}}, "spacing"},
        {{2400000, 439200000, 3000000, {}}, "spacing"},
        {{15000, 439200000, 12500, {}}, "no usable channel"},
    };
    for (const row &r : rows) {
        error.clear();
        EXPECT_FALSE(plan_channels(r.request, channels, error)) << r.says;
        EXPECT_NE(error.find(r.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(FrequencyText, MegahertzWithTheDecimalsItNeeds) {
    EXPECT_EQ(frequency_mhz_text(439012500), "439.0125");
    EXPECT_EQ(frequency_mhz_text(439000000), "439.0000");
    EXPECT_EQ(frequency_mhz_text(439006250), "439.00625");
    EXPECT_EQ(frequency_mhz_text(1), "0.000001");
    EXPECT_EQ(frequency_mhz_text(-2500), "-0.0025");
}
