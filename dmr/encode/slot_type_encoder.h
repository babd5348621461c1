// SPDX-License-Identifier: MIT
#pragma once
// The 20-bit slot type of a DMR data burst: bits 19..16 colour code, 15..12
// data type, 11..0 Golay (20,8) check bits. It travels in the five symbols
// before the centre field (bits 19..10) and the five after it (bits 9..0).

#include <cstdint>

namespace dmr_encode {

// Data types (ETSI TS 102 361-1).
inline constexpr uint8_t data_type_pi_header = 0;
inline constexpr uint8_t data_type_voice_lc_header = 1;
inline constexpr uint8_t data_type_terminator_lc = 2;
inline constexpr uint8_t data_type_csbk = 3;
inline constexpr uint8_t data_type_mbc_header = 4;
inline constexpr uint8_t data_type_mbc_continuation = 5;
inline constexpr uint8_t data_type_data_header = 6;
inline constexpr uint8_t data_type_rate_half_data = 7;
inline constexpr uint8_t data_type_rate_three_quarter_data = 8;
inline constexpr uint8_t data_type_idle = 9;

// The 20-bit slot type codeword of colour code (0..15) and data type (0..15).
uint32_t slot_type_word(int colour_code, int data_type);

// Writes a 20-bit slot type word into symbols 49..53 and 78..82 of a
// 132-symbol burst.
void place_slot_type(uint32_t word, uint8_t symbols[132]);

}  // namespace dmr_encode
