// SPDX-License-Identifier: MIT
// Call-sign fields, positions and the radio data block.

#include "radio_data_encode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "reference_decode.h"

using namespace ysf_encode;

namespace {

// The lat/lon fields of a metadata line for the decoded position.
std::string position_fields(const uint8_t bytes[9]) {
    float lat = 0, lon = 0;
    if (!reference::position(bytes, lat, lon)) return "undecodable";
    char text[64];
    std::snprintf(text, sizeof text, "lat:%.6f;lon:%.6f;", static_cast<double>(lat), static_cast<double>(lon));
    return text;
}

}  // namespace

TEST(RadioDataEncode, CallSignIsSpacePaddedAndCutAtTen) {
    EXPECT_EQ(call_sign("DL1ABC"), (call_sign_field{'D', 'L', '1', 'A', 'B', 'C', ' ', ' ', ' ', ' '}));
    EXPECT_EQ(call_sign("ABCDEFGHIJKL"), (call_sign_field{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}));
    call_sign_field spaces;
    spaces.fill(' ');
    EXPECT_EQ(call_sign(""), spaces);
}

TEST(RadioDataEncode, KnownBlockAndPositions) {
    uint8_t position[9];
    ASSERT_TRUE(encode_position(51.502, -0.125, position));
    uint8_t block[20];
    build_radio_data_block(radio_kind_position, 0x2B, position, block);
    const uint8_t expected[20] = {0x00, 0x22, 0x62, 0x5F, 0x2B, 0x35, 0x31, 0x33, 0x50, 0x51,
                                  0x52, 0x76, 0x5F, 0x4E, 0x00, 0x00, 0x00, 0x00, 0x03, 0xC0};
    EXPECT_EQ(std::vector<uint8_t>(block, block + 20), std::vector<uint8_t>(expected, expected + 20));
    EXPECT_EQ(position_fields(position), "lat:51.501999;lon:-0.125000;");

    ASSERT_TRUE(encode_position(-33.866, 151.21, position));
    const uint8_t sydney[9] = {0x33, 0x33, 0x35, 0x31, 0x59, 0x36, 0x4F, 0x28, 0x58};
    EXPECT_EQ(std::vector<uint8_t>(position, position + 9), std::vector<uint8_t>(sydney, sydney + 9));
    EXPECT_EQ(position_fields(position), "lat:-33.865997;lon:151.209991;");

    build_radio_data_block(radio_kind_a, 0x2A, nullptr, block);
    const uint8_t plain[20] = {0, 0x22, 0x61, 0x5F, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x0F};
    EXPECT_EQ(std::vector<uint8_t>(block, block + 20), std::vector<uint8_t>(plain, plain + 20));
}

TEST(RadioDataEncode, SealSetsTerminatorAndChecksum) {
    uint8_t block[20];
    for (int i = 0; i < 20; ++i) block[i] = static_cast<uint8_t>(0xE0 + i);
    seal_radio_data_block(block);
    unsigned sum = 0;
    for (int i = 0; i < 19; ++i) sum += block[i];
    EXPECT_EQ(block[18], 0x03);
    EXPECT_EQ(block[19], sum % 256);
    EXPECT_EQ(block[17], 0xE0 + 17);
}

TEST(RadioDataEncode, PositionsRoundTripOverTheGlobe) {
    // Every encodable point of a grid decodes to within a hundredth of a
    // minute (plus single-precision rounding) with the right signs.
    int encoded = 0;
    for (double lat = -90.0; lat <= 90.0; lat += 2.37)
        for (double lon = -180.0; lon <= 180.0; lon += 0.731) {
            uint8_t bytes[9];
            if (!encode_position(lat, lon, bytes)) continue;
            ++encoded;
            float dlat = 0, dlon = 0;
            ASSERT_TRUE(reference::position(bytes, dlat, dlon)) << lat << " " << lon;
            ASSERT_NEAR(dlat, lat, 1.0 / 12000 + 1e-4) << lat;
            ASSERT_NEAR(dlon, lon, 1.0 / 12000 + 1e-4) << lon;
        }
    EXPECT_GT(encoded, 30000);
}

TEST(RadioDataEncode, PositionsOutsideTheCodeAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct refused {
        double lat, lon;
    };
    // 180 degrees, and what rounds to it, has no degree code.
    const refused cases[] = {{90.01, 0.5}, {-90.5, 0.5}, {0.5, 180.5}, {0.5, -181},
                             {nan, 0.5},   {0.5, inf},   {10, 180},    {10, -179.99999}};
    for (const auto &c : cases) {
        uint8_t bytes[9];
        std::memset(bytes, 0xEE, 9);
        EXPECT_FALSE(encode_position(c.lat, c.lon, bytes)) << c.lat << " " << c.lon;
        EXPECT_EQ(bytes[0], 0xEE) << "nothing written";
    }
}

// Both ends of every longitude range: the degree byte d6 with the range in
// the high nibble of d4, the minute byte d7 (0..9 from 88, 10..59 from 38)
// and the hundredths byte d8 (from 28), by hand from the code's offsets.
// Each decodes back exactly.
TEST(RadioDataEncode, EveryLongitudeRangeEnd) {
    struct range_end {
        double lon;
        uint8_t range, d6, d7, d8;
    } cases[] = {
        {0.0, 5, 118, 88, 28},                   // 0 00.00
        {9.0, 5, 127, 88, 28},                   // 9 00.00
        {9 + 59.99 / 60, 5, 127, 87, 127},       // 9 59.99
        {10.0, 3, 38, 88, 28},                   // 10 00.00
        {99 + 59.99 / 60, 3, 127, 87, 127},      // 99 59.99
        {100.0, 5, 108, 88, 28},                 // 100 00.00
        {109 + 9.99 / 60, 5, 117, 97, 127},      // 109 09.99
        {110 + 10.0 / 60, 5, 38, 38, 28},        // 110 10.00
        {-(179 + 59.99 / 60), 5, 107, 87, 127},  // 179 59.99 W
        {-179.0, 5, 107, 88, 28},                // 179 00.00 W
    };
    for (const range_end &c : cases) {
        uint8_t bytes[9];
        ASSERT_TRUE(encode_position(47.25, c.lon, bytes)) << c.lon;
        EXPECT_EQ(bytes[4] >> 4, c.range) << c.lon;
        EXPECT_EQ(bytes[5] >> 4, c.lon < 0 ? 5 : 3) << c.lon;
        EXPECT_EQ(bytes[6], c.d6) << c.lon;
        EXPECT_EQ(bytes[7], c.d7) << c.lon;
        EXPECT_EQ(bytes[8], c.d8) << c.lon;
        float lat = 0, lon = 0;
        ASSERT_TRUE(reference::position(bytes, lat, lon)) << c.lon;
        EXPECT_FLOAT_EQ(lon, static_cast<float>(c.lon));
        EXPECT_FLOAT_EQ(lat, 47.25f);
    }
    // A latitude rounded to 0 is sent as north.
    uint8_t bytes[9];
    ASSERT_TRUE(encode_position(-0.00001, 2.5, bytes));
    EXPECT_EQ(bytes[3] >> 4, 5);
}
