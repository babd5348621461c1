// SPDX-License-Identifier: MIT
// Decoding of the position bytes of the radio data block.

#include "position.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "radio_model.h"

namespace {

// The metadata fields of a decoded position, or "failure".
std::string position_fields(const uint8_t d[9]) {
    float lat = 1.0f, lon = 2.0f;
    if (!decode_position(d, lat, lon)) {
        EXPECT_EQ(lat, 1.0f);
        EXPECT_EQ(lon, 2.0f);
        return "failure";
    }
    char text[64];
    std::snprintf(text, sizeof text, "lat:%.6f;lon:%.6f;", static_cast<double>(lat), static_cast<double>(lon));
    return text;
}

struct position_case {
    const char *name;
    uint8_t d[9];
    const char *fields;
};

// d0..d5: latitude digits and hemispheres; d6..d8: longitude degrees,
// minutes, hundredths of a minute. Each byte range is taken at both ends,
// the top end being 127 in every range.
const position_case cases[] = {
    {"London", {0x35, 0x31, 0x33, 0x50, 0x51, 0x52, 0x76, 0x5F, 0x4E}, "lat:51.501999;lon:-0.125000;"},
    {"Sydney", {0x33, 0x33, 0x35, 0x31, 0x59, 0x36, 0x4F, 0x28, 0x58}, "lat:-33.865997;lon:151.209991;"},
    {"minutes 88 (X) is zero", {0x33, 0x33, 0x35, 0x31, 0x59, 0x36, 0x4F, 88, 0x58}, "lat:-33.865997;lon:151.009995;"},
    {"minutes 89 is one", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 89, 28}, "lat:0.000000;lon:10.016666;"},
    {"minutes 97 is nine", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 97, 28}, "lat:0.000000;lon:10.150000;"},
    {"minutes 98", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 98, 28}, "failure"},
    {"minutes 37", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 37, 28}, "failure"},
    {"degrees 126 range 3", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 126, 38, 28}, "lat:0.000000;lon:98.166664;"},
    {"degrees 127 range 3", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 127, 38, 28}, "lat:0.000000;lon:99.166664;"},
    {"degrees 128 range 3", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 128, 38, 28}, "failure"},
    {"degrees 37 range 3", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 37, 38, 28}, "failure"},
    {"degrees 118 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 118, 38, 28}, "lat:0.000000;lon:0.166667;"},
    {"degrees 126 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 126, 38, 28}, "lat:0.000000;lon:8.166667;"},
    {"degrees 127 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 127, 38, 28}, "lat:0.000000;lon:9.166667;"},
    {"degrees 128 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 128, 38, 28}, "failure"},
    {"degrees 108 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 108, 38, 28}, "lat:0.000000;lon:100.166664;"},
    {"degrees 116 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 116, 38, 28}, "lat:0.000000;lon:108.166664;"},
    {"degrees 117 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 117, 38, 28}, "lat:0.000000;lon:109.166664;"},
    {"degrees 106 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 106, 38, 28}, "lat:0.000000;lon:178.166672;"},
    {"degrees 107 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 107, 38, 28}, "lat:0.000000;lon:179.166672;"},
    {"degrees 37 range 5", {0x30, 0x30, 0x30, 0x50, 0x50, 0x30, 37, 38, 28}, "failure"},
    {"unknown degree range", {0x30, 0x30, 0x30, 0x50, 0x40, 0x30, 38, 38, 28}, "failure"},
    {"hundredths 126", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 38, 126}, "lat:0.000000;lon:10.183001;"},
    {"hundredths 127", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 38, 127}, "lat:0.000000;lon:10.183167;"},
    {"hundredths 128", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 38, 128}, "failure"},
    {"179 59.99 west", {0x30, 0x30, 0x30, 0x50, 0x50, 0x50, 107, 87, 127}, "lat:0.000000;lon:-179.999832;"},
    {"hundredths 27", {0x30, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 38, 27}, "failure"},
    {"digit above 9", {0x30, 0x3A, 0x30, 0x50, 0x30, 0x30, 38, 38, 28}, "failure"},
    {"unknown north/south", {0x30, 0x30, 0x30, 0x40, 0x30, 0x30, 38, 38, 28}, "failure"},
    {"unknown east/west", {0x30, 0x30, 0x30, 0x50, 0x30, 0x40, 38, 38, 28}, "failure"},
    {"latitude 90", {0x39, 0x30, 0x30, 0x50, 0x30, 0x30, 38, 38, 28}, "lat:90.000000;lon:10.166667;"},
    {"latitude above 90", {0x39, 0x30, 0x30, 0x50, 0x30, 0x31, 38, 38, 28}, "failure"},
    {"high nibbles of d0..d2 ignored",
     {0xF1, 0x02, 0x73, 0x50, 0x30, 0x30, 38, 38, 28},
     "lat:12.500000;lon:10.166667;"},
};

TEST(DecodePosition, Table) {
    for (const position_case &c : cases) EXPECT_EQ(position_fields(c.d), c.fields) << c.name;
}

TEST(RadioModel, Names) {
    EXPECT_STREQ(radio_model_name(0x24), "FT-1D");
    EXPECT_STREQ(radio_model_name(0x25), "FTM-400D");
    EXPECT_STREQ(radio_model_name(0x26), "DR-1X");
    EXPECT_STREQ(radio_model_name(0x27), "FT-991");
    EXPECT_STREQ(radio_model_name(0x28), "FT-2D");
    EXPECT_STREQ(radio_model_name(0x29), "FTM-100D");
    EXPECT_STREQ(radio_model_name(0x2B), "FT-70D");
    for (uint8_t code : {0x00, 0x23, 0x2A, 0x2C, 0xFF}) EXPECT_STREQ(radio_model_name(code), "Unknown radio");
}

}  // namespace
