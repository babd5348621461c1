// SPDX-License-Identifier: MIT
// The FICH: fields to information bits, CRC, Golay words, code, interleave.

#include "fich_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "crc16_encode.h"
#include "golay_24_12_encode.h"
#include "reference_decode.h"

using namespace ysf_encode;

namespace {

// A 480-symbol frame holding only the FICH of the information bits.
uint32_t round_trip(uint32_t information, bool &ok) {
    uint8_t frame[480] = {};
    encode_fich_information(information, frame + 20);
    uint32_t back = 0;
    ok = reference::fich_information(frame, back);
    return back;
}

}  // namespace

TEST(FichEncode, FieldPositions) {
    fich_fields v1_mode2;
    v1_mode2.fi = fich_fi_communication;
    v1_mode2.dt = fich_dt_vd_mode2;
    EXPECT_EQ(fich_information(v1_mode2), 0x40000200u);

    // Each field at its widest value alone, and too-wide values masked.
    struct field_case {
        uint8_t fich_fields::*member;
        uint8_t value;
        uint32_t bits;
    };
    const field_case cases[] = {
        {&fich_fields::fi, 3, 0xC0000000},   {&fich_fields::cs, 3, 0x30000000},    {&fich_fields::cm, 3, 0x0C000000},
        {&fich_fields::bn, 3, 0x03000000},   {&fich_fields::bt, 3, 0x00C00000},    {&fich_fields::fn, 7, 0x00380000},
        {&fich_fields::ft, 7, 0x00070000},   {&fich_fields::dev, 1, 0x00004000},   {&fich_fields::mr, 7, 0x00003800},
        {&fich_fields::voip, 1, 0x00000400}, {&fich_fields::dt, 3, 0x00000300},    {&fich_fields::sql, 1, 0x00000080},
        {&fich_fields::sc, 127, 0x0000007F}, {&fich_fields::fn, 0xFF, 0x00380000}, {&fich_fields::sc, 0xFF, 0x7F},
    };
    for (const auto &c : cases) {
        fich_fields f;
        f.*(c.member) = c.value;
        EXPECT_EQ(fich_information(f), c.bits) << std::hex << c.bits;
    }
    fich_fields all;
    for (const auto &c : cases) all.*(c.member) = c.value;
    EXPECT_EQ(fich_information(all), 0xFFFF7FFFu) << "bit 15 is never set";
}

TEST(FichEncode, GolayWordsCarryTheInformationAndItsCrc) {
    uint32_t words[4];
    fich_golay_words(0x40000200u, words);
    const uint8_t info[4] = {0x40, 0x00, 0x02, 0x00};
    uint16_t crc = crc16_compute(info, 4);
    EXPECT_EQ(words[0], golay_24_12_encode(0x400));
    EXPECT_EQ(words[1], golay_24_12_encode(0x002));
    EXPECT_EQ(words[2], golay_24_12_encode(static_cast<uint32_t>(0x000 | (crc >> 12))));
    EXPECT_EQ(words[3], golay_24_12_encode(crc & 0xFFFu));
}

TEST(FichEncode, RoundTripsAndTheSymbolsAfterTheSyncAreAllItWrites) {
    std::mt19937 rng(3);
    std::set<std::vector<uint8_t>> distinct;
    for (int i = 0; i < 300; ++i) {
        uint32_t info = i < 4 ? (i == 0   ? 0u
                                 : i == 1 ? 0xFFFFFFFFu
                                 : i == 2 ? 0x40000200u
                                          : 0x80000000u)
                              : static_cast<uint32_t>(rng());
        bool ok = false;
        EXPECT_EQ(round_trip(info, ok), info) << std::hex << info;
        EXPECT_TRUE(ok) << std::hex << info;
        uint8_t symbols[fich_symbols + 2];
        std::memset(symbols, 0xEE, sizeof symbols);
        encode_fich_information(info, symbols);
        EXPECT_EQ(symbols[fich_symbols], 0xEE);
        for (int k = 0; k < fich_symbols; ++k) ASSERT_LE(symbols[k], 3);
        distinct.insert(std::vector<uint8_t>(symbols, symbols + fich_symbols));
    }
    EXPECT_EQ(distinct.size(), 300u);
    // The all-zero FICH carries CRC FFFF, so its symbols are not all zero.
    uint8_t zero_info[fich_symbols];
    encode_fich_information(0, zero_info);
    EXPECT_NE(std::count(zero_info, zero_info + fich_symbols, 0), fich_symbols);
}

TEST(FichEncode, ChosenGolayErrorsReachTheAir) {
    // An error put into a word before coding shows as that word's syndrome
    // at the receiver; the other words stay clean.
    uint32_t words[4];
    fich_golay_words(0x40000200u, words);
    words[2] ^= 0x000007;
    uint8_t frame[480] = {};
    encode_fich_words(words, frame + 20);
    uint32_t info = 0;
    EXPECT_FALSE(reference::fich_information(frame, info));
    words[2] ^= 0x000007;
    encode_fich_words(words, frame + 20);
    EXPECT_TRUE(reference::fich_information(frame, info));
    EXPECT_EQ(info, 0x40000200u);
    fich_fields f;
    f.fi = 1;
    f.dt = 2;
    uint8_t direct[fich_symbols];
    encode_fich(f, direct);
    EXPECT_EQ(std::memcmp(direct, frame + 20, fich_symbols), 0);
}
