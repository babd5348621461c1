// SPDX-License-Identifier: MIT
#pragma once
// The checks that DMR data carries (ETSI TS 102 361-1, Annex B), computed
// as the sender does: the remainder of the message polynomial times x^n
// divided by the generator, inverted where the standard inverts it, then
// XORed with the data type's mask.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dmr_encode {

// Data type masks (ETSI TS 102 361-1, table B.21).
inline constexpr uint16_t mask_pi_header = 0x6969;
inline constexpr uint16_t mask_csbk = 0xA5A5;
inline constexpr uint16_t mask_data_header = 0xCCCC;
inline constexpr uint16_t crc9_mask_half = 0x0F0;
inline constexpr uint16_t crc9_mask_three_quarter = 0x1FF;
inline constexpr uint16_t crc9_mask_one = 0x10F;

// Remainder of the message bits (each 0 or 1, first bit the highest power)
// times x^degree, divided by the generator given with its top term
// (e.g. 0x11021 for x^16 + x^12 + x^5 + 1).
uint32_t polynomial_remainder(const std::vector<uint8_t> &bits, uint64_t generator, int degree);

// The CRC-CCITT a 12-byte block carries in its last two bytes, over its
// first ten bytes: inverted remainder XOR mask.
uint16_t ccitt_crc(const uint8_t *bytes, std::size_t count, uint16_t mask);

// The CRC-9 of a confirmed data block: over its user data bytes and then
// its 7-bit serial number; inverted remainder XOR mask.
uint16_t block_crc9(const uint8_t *bytes, std::size_t count, int serial, uint16_t mask);

// The 32-bit message CRC over user data and pad octets, octets taken in
// swapped pairs (an odd last octet alone); sent low octet first.
uint32_t message_crc32(const uint8_t *bytes, std::size_t count);

}  // namespace dmr_encode
