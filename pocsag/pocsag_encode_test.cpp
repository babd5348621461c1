// SPDX-License-Identifier: MIT
#include "pocsag_encode.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

// The remainder of a 31-bit word by g(x), by plain long division, to check
// the encoder's shift register against.
uint32_t remainder_of(uint32_t word) {
    for (int bit = 30; bit >= 10; --bit)
        if (word & (1u << bit)) word ^= 0x769u << (bit - 10);
    return word;
}

uint32_t word_of_bits(const std::vector<uint8_t> &bits, std::size_t start) {
    uint32_t w = 0;
    for (std::size_t i = 0; i < 32; ++i) w = (w << 1) | bits.at(start + i);
    return w;
}

TEST(PocsagEncode, SyncAndIdleAreValidCodewordsWithEvenParity) {
    for (uint32_t codeword : {encode_sync_codeword, encode_idle_codeword}) {
        EXPECT_EQ(pocsag_codeword(codeword >> 11), codeword);
        EXPECT_EQ(remainder_of(codeword >> 1), 0u);
        EXPECT_EQ(std::popcount(codeword) % 2, 0);
    }
    for (uint32_t data : {0u, 1u, 0x100000u, 0x1FFFFFu, 0x12345u}) {
        uint32_t codeword = pocsag_codeword(data);
        EXPECT_EQ(codeword >> 11, data);
        EXPECT_EQ(remainder_of(codeword >> 1), 0u);
        EXPECT_EQ(std::popcount(codeword) % 2, 0);
    }
}

TEST(PocsagEncode, TextsGiveTheKnownInformationWords) {
    EXPECT_EQ(pocsag_numeric_words("12345"), std::vector<uint32_t>{0x84C2Au});
    EXPECT_EQ(pocsag_alphanumeric_words("AB"), std::vector<uint32_t>{0x82840u});
    // "1" and four spaces (value 12: bits 0011 sent first-bit-least).
    EXPECT_EQ(pocsag_numeric_words("1"), std::vector<uint32_t>{0x83333u});
    EXPECT_EQ(pocsag_numeric_words("123456").size(), 2u);
    EXPECT_EQ(pocsag_numeric_words("").size(), 0u);
    // 3 characters are 21 bits: the last word holds one bit and zero fill.
    EXPECT_EQ(pocsag_alphanumeric_words("ABC").size(), 2u);
    EXPECT_EQ(pocsag_alphanumeric_words("ABC")[1], (('C' >> 6) & 1u) << 19);
    EXPECT_EQ(pocsag_message_codeword(0x84C2Au) >> 11, 0x100000u | 0x84C2Au);
}

TEST(PocsagEncode, AddressCodewordCarriesHighBitsAndFunction) {
    uint32_t codeword = pocsag_address_codeword(10, 3);
    EXPECT_EQ(codeword >> 31, 0u);
    EXPECT_EQ((codeword >> 13) & 0x3FFFFu, 1u);
    EXPECT_EQ((codeword >> 11) & 3u, 3u);
    EXPECT_EQ(pocsag_address_frame(10), 2);
    EXPECT_EQ((pocsag_address_codeword(0x1FFFFF, 0) >> 13) & 0x3FFFFu, 0x3FFFFu);
}

// ITU-R M.584's sync and idle codewords are codewords of the code too: the
// sync codeword is the address codeword of 18-bit address 0x3E690 (21-bit
// address 2045056) with function bits 2, the idle codeword that of 0x3D44E
// (2007664) with function bits 0.
TEST(PocsagEncode, StandardCodewordsAreAddressCodewords) {
    EXPECT_EQ(pocsag_address_codeword(0x3E690 << 3, 2), 0x7CD215D8u);
    EXPECT_EQ(pocsag_address_codeword(0x3D44E << 3, 0), 0x7A89C197u);
}

// Address 10 goes into the third frame (codeword 4 of the batch), after four
// idle codewords, with its message right behind and idle fill to the end.
TEST(PocsagEncode, PagesArePlacedInTheirFrames) {
    std::vector<uint32_t> codewords = pocsag_page_codewords(
        {{10, 0, pocsag_text_kind::numeric, "12345"}, {9, 3, pocsag_text_kind::alphanumeric, "AB"}});
    ASSERT_EQ(codewords.size(), 32u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(codewords[i], encode_idle_codeword);
    EXPECT_EQ(codewords[4], pocsag_address_codeword(10, 0));
    EXPECT_EQ(codewords[5], pocsag_message_codeword(0x84C2Au));
    // Address 9 is in frame 1: it waits for the next batch.
    for (int i = 6; i < 18; ++i) EXPECT_EQ(codewords[i], encode_idle_codeword) << i;
    EXPECT_EQ(codewords[18], pocsag_address_codeword(9, 3));
    EXPECT_EQ(codewords[19], pocsag_message_codeword(0x82840u));
    for (int i = 20; i < 32; ++i) EXPECT_EQ(codewords[i], encode_idle_codeword) << i;
    // A message that ends a batch gets a batch of idle codewords behind it.
    // (address 3: frame 3, codeword 6; nine message codewords fill 7 to 15)
    std::vector<uint32_t> full = pocsag_page_codewords({{3, 0, pocsag_text_kind::numeric, std::string(45, '1')}});
    ASSERT_EQ(full.size(), 32u);
    EXPECT_EQ(full[15], pocsag_message_codeword(0x88888u));
    EXPECT_EQ(full[16], encode_idle_codeword);
}

TEST(PocsagEncode, TransmissionIsPreambleThenBatches) {
    std::vector<uint8_t> bits = pocsag_transmission({{10, 0, pocsag_text_kind::numeric, "12345"}});
    ASSERT_EQ(bits.size(), 576u + 17u * 32u);
    for (int i = 0; i < 576; ++i) ASSERT_EQ(bits[i], (i + 1) % 2) << i;
    EXPECT_EQ(word_of_bits(bits, 576), encode_sync_codeword);
    EXPECT_EQ(word_of_bits(bits, 576 + 5 * 32), pocsag_address_codeword(10, 0));
    EXPECT_EQ(word_of_bits(bits, 576 + 6 * 32), pocsag_message_codeword(0x84C2Au));
    // Codewords that do not fill a batch are filled up with idle codewords.
    std::vector<uint8_t> short_batch = pocsag_batch_bits({pocsag_address_codeword(8, 0)}, 0);
    ASSERT_EQ(short_batch.size(), 17u * 32u);
    EXPECT_EQ(word_of_bits(short_batch, 16 * 32), encode_idle_codeword);
}

}  // namespace
