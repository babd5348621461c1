// SPDX-License-Identifier: MIT
#pragma once
// The checks of DMR data (ETSI TS 102 361-1, Annex B): the CRC-CCITT of
// CSBKs, PI headers and data headers, the CRC-9 of confirmed data blocks and
// the 32-bit CRC of a whole data message. Each sent check is the remainder
// inverted and then XORed with the mask of its data type, so that a block
// of one data type never passes the check of another.

#include <cstddef>
#include <cstdint>

// Data type CRC masks (ETSI TS 102 361-1, table B.21).
inline constexpr uint16_t crc_mask_pi_header = 0x6969;
inline constexpr uint16_t crc_mask_csbk = 0xA5A5;
inline constexpr uint16_t crc_mask_mbc_header = 0xAAAA;
inline constexpr uint16_t crc_mask_data_header = 0xCCCC;
inline constexpr uint16_t crc9_mask_rate_half = 0x0F0;
inline constexpr uint16_t crc9_mask_rate_three_quarter = 0x1FF;
inline constexpr uint16_t crc9_mask_rate_one = 0x10F;

// Remainder of the bytes (most significant bit first) times x^16 divided by
// x^16 + x^12 + x^5 + 1, register starting at 0.
uint16_t crc_ccitt_remainder(const uint8_t *bytes, std::size_t count);

// Whether the last two bytes of a block of count bytes (high byte first)
// are the inverted CRC-CCITT of the others XORed with mask.
bool crc_ccitt_check(const uint8_t *block, std::size_t count, uint16_t mask);

// Remainder of the bytes followed by the 7 bits of serial (a confirmed
// block's serial number), most significant bit first, times x^9 divided by
// x^9 + x^6 + x^4 + x^3 + 1.
uint16_t crc9_remainder(const uint8_t *bytes, std::size_t count, int serial);

// The CRC-9 a confirmed data block carries: the remainder inverted, XORed
// with the rate's mask.
inline uint16_t crc9_sent(const uint8_t *bytes, std::size_t count, int serial, uint16_t mask) {
    return static_cast<uint16_t>((~crc9_remainder(bytes, count, serial) & 0x1FF) ^ mask);
}

// Remainder of the bytes, most significant bit first, times x^32 divided by
// the generator 0x04C11DB7, register starting at 0.
uint32_t crc32_remainder(const uint8_t *bytes, std::size_t count);

// The message CRC of a data message: the 32-bit remainder over its user data
// and pad octets taken in pairs with the two octets of each pair swapped
// (an odd last octet alone), sent low octet first in the last four octets
// of the last block. True if the last four of the count bytes are the CRC of
// the others.
bool message_crc_check(const uint8_t *message, std::size_t count);

// The message CRC of count bytes as it is sent (low octet first), for the
// encoders' tests.
uint32_t message_crc(const uint8_t *message, std::size_t count);
