// SPDX-License-Identifier: MIT
// The checks of DMR data against the public catalogue values of their
// generators and against hand calculations, in the decoder and in the
// encoders written apart from it.

#include "data_checks.h"

#include <gtest/gtest.h>

#include <cstring>

#include "csbk.h"
#include "dmr_encode.h"

namespace {

const uint8_t check_string[9] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(data_checks, remainders_match_the_catalogue_check_values) {
    // "123456789", no reflection, register 0, nothing XORed out: the
    // x^16 + x^12 + x^5 + 1 remainder is 0x31C3 (the CRC-16/XMODEM check
    // value); for 0x04C11DB7 it is the complement of CRC-32/POSIX's
    // 0x765E7680, 0x89A1897F.
    EXPECT_EQ(crc_ccitt_remainder(check_string, 9), 0x31C3);
    EXPECT_EQ(crc32_remainder(check_string, 9), 0x89A1897Fu);
    std::vector<uint8_t> bits;
    for (uint8_t c : check_string)
        for (int i = 7; i >= 0; --i) bits.push_back((c >> i) & 1);
    EXPECT_EQ(dmr_encode::polynomial_remainder(bits, 0x11021, 16), 0x31C3u);
    EXPECT_EQ(dmr_encode::polynomial_remainder(bits, 0x104C11DB7ull, 32), 0x89A1897Fu);
}

TEST(data_checks, crc9_by_hand) {
    // Only a serial number, no data: serial 1 is the polynomial 1, times x^9
    // gives x^9 = x^6 + x^4 + x^3 + 1 (mod x^9 + x^6 + x^4 + x^3 + 1) = 0x059.
    // Serial 2: x^10 = x^7 + x^5 + x^4 + x = 0x0B2. Serial 8: x^12 =
    // x^9 + x^7 + x^6 + x^3 = x^7 + x^4 + 1 = 0x091.
    EXPECT_EQ(crc9_remainder(nullptr, 0, 1), 0x059);
    EXPECT_EQ(crc9_remainder(nullptr, 0, 2), 0x0B2);
    EXPECT_EQ(crc9_remainder(nullptr, 0, 8), 0x091);
    // Sent: inverted and masked; serial 1 at rate 1/2: 0x1A6 ^ 0x0F0 = 0x156.
    EXPECT_EQ(crc9_sent(nullptr, 0, 1, crc9_mask_rate_half), 0x156);
    EXPECT_EQ(dmr_encode::block_crc9(nullptr, 0, 1, dmr_encode::crc9_mask_half), 0x156);
    for (int serial : {0, 5, 127}) {
        const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        EXPECT_EQ(dmr_encode::block_crc9(data, 10, serial, dmr_encode::crc9_mask_three_quarter),
                  crc9_sent(data, 10, serial, crc9_mask_rate_three_quarter));
    }
}

TEST(data_checks, masks_keep_the_data_types_apart) {
    // Ten zero bytes have remainder 0, so the sent CRC is ~0 ^ mask: 0x5A5A
    // for a CSBK, 0x3333 for a data header, 0x9696 for a PI header.
    uint8_t block[12] = {};
    block[10] = 0x5A;
    block[11] = 0x5A;
    EXPECT_TRUE(crc_ccitt_check(block, 12, crc_mask_csbk));
    EXPECT_FALSE(crc_ccitt_check(block, 12, crc_mask_data_header));
    EXPECT_FALSE(crc_ccitt_check(block, 12, crc_mask_pi_header));
    block[10] = block[11] = 0x33;
    EXPECT_TRUE(crc_ccitt_check(block, 12, crc_mask_data_header));
    block[10] = block[11] = 0x96;
    EXPECT_TRUE(crc_ccitt_check(block, 12, crc_mask_pi_header));
    EXPECT_EQ(dmr_encode::ccitt_crc(block, 10, dmr_encode::mask_csbk), 0x5A5A);
    // Any single wrong bit fails.
    const dmr_encode::csbk_block good = dmr_encode::make_addressed_csbk(0x04, 0, 1234, 5678);
    ASSERT_TRUE(crc_ccitt_check(good.data(), 12, crc_mask_csbk));
    for (int bit = 0; bit < 96; ++bit) {
        dmr_encode::csbk_block bad = good;
        bad[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        EXPECT_FALSE(crc_ccitt_check(bad.data(), 12, crc_mask_csbk)) << bit;
    }
}

TEST(data_checks, message_crc_takes_octets_in_swapped_pairs) {
    // "21436587" followed by "9" is "123456789" with each pair swapped: its
    // message CRC is the plain remainder of "123456789".
    const uint8_t swapped[9] = {'2', '1', '4', '3', '6', '5', '8', '7', '9'};
    EXPECT_EQ(message_crc(swapped, 9), 0x89A1897Fu);
    EXPECT_EQ(dmr_encode::message_crc32(swapped, 9), 0x89A1897Fu);
    uint8_t message[13];
    std::memcpy(message, swapped, 9);
    message[9] = 0x7F;  // low octet first
    message[10] = 0x89;
    message[11] = 0xA1;
    message[12] = 0x89;
    EXPECT_TRUE(message_crc_check(message, 13));
    message[4] ^= 0x10;
    EXPECT_FALSE(message_crc_check(message, 13));
}

TEST(csbk, fields_names_and_addresses) {
    struct csbk_case {
        int opcode, feature_set;
        const char *name;
        bool addresses;
    };
    const csbk_case cases[] = {
        {0x38, 0, "BS_Dwn_Act", true}, {0x04, 0, "UU_V_Req", true}, {0x05, 0, "UU_Ans_Rsp", true},
        {0x26, 0, "NACK_Rsp", true},   {0x3D, 0, "Pre_CSBK", true}, {0x19, 0, "C_ALOHA", false},
        {0x31, 0, "TV_GRANT", true},   {0x1C, 0, "C_AHOY", true},   {0x3D, 16, nullptr, false},
        {0x01, 0, nullptr, false},
    };
    for (const csbk_case &k : cases) {
        SCOPED_TRACE(k.opcode);
        const dmr_encode::csbk_block b = dmr_encode::make_addressed_csbk(k.opcode, k.feature_set, 0x123456, 0xABCDEF);
        csbk_fields f;
        ASSERT_TRUE(decode_csbk(b.data(), f));
        EXPECT_EQ(f.opcode, k.opcode);
        EXPECT_EQ(f.feature_set, k.feature_set);
        EXPECT_TRUE(f.last_block);
        EXPECT_FALSE(f.protect);
        if (k.name) {
            EXPECT_STREQ(f.name, k.name);
        } else {
            EXPECT_EQ(f.name, nullptr);
        }
        EXPECT_EQ(f.has_addresses, k.addresses);
        if (k.addresses) {
            EXPECT_EQ(f.target, 0x123456);
            EXPECT_EQ(f.source, 0xABCDEF);
        }
    }
}

TEST(csbk, metadata_line) {
    const dmr_encode::csbk_block b = dmr_encode::make_addressed_csbk(0x38, 0, 1, 2001);
    csbk_fields f;
    ASSERT_TRUE(decode_csbk(b.data(), f));
    char line[256];
    const int n = compose_csbk_line(line, sizeof line, 1, f);
    EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)),
              "protocol:DMR;slot:1;csbk:56;fid:0;lb:1;pf:0;name:BS_Dwn_Act;source:2001;target:1;"
              "data:00000000010007D1;\n");
    const uint8_t fields[8] = {0xFF, 0, 0, 0, 0, 0, 0, 0x42};
    const dmr_encode::csbk_block other = dmr_encode::make_csbk(0x3F, 0x10, fields, false, true);
    ASSERT_TRUE(decode_csbk(other.data(), f));
    const int m = compose_csbk_line(line, sizeof line, 0, f);
    EXPECT_EQ(std::string(line, static_cast<std::size_t>(m)),
              "protocol:DMR;slot:0;csbk:63;fid:16;lb:0;pf:1;data:FF00000000000042;\n");
    // A short buffer is never overrun.
    char tiny[8];
    EXPECT_EQ(compose_csbk_line(tiny, sizeof tiny, 0, f), 7);
    EXPECT_EQ(tiny[7], 0);
}

}  // namespace
