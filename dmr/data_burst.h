// SPDX-License-Identifier: MIT
#pragma once
// Data bursts: a burst of a data-mode slot carries a 20-bit slot type (data
// type in bits 15..12) in the 5 symbols on each side of its sync and 196
// BPTC (196,96) bits in the rest of its payload.

#include <cstdint>

#include "tessavox_state.h"

// DMR data types handled here.
inline constexpr int data_type_pi_header = 0;
inline constexpr int data_type_voice_lc_header = 1;
inline constexpr int data_type_terminator_lc = 2;
inline constexpr int data_type_csbk = 3;
inline constexpr int data_type_data_header = 6;
inline constexpr int data_type_rate_half_data = 7;
inline constexpr int data_type_rate_three_quarter_data = 8;
inline constexpr int data_type_idle = 9;
inline constexpr int data_type_rate_one_data = 10;

// The received slot type word of the burst at the read position.
uint32_t read_slot_type(const tessavox_state &state);

// The 196 information bits of the burst at the read position, packed into 25
// bytes (the low four bits of the last byte are 0).
void read_information_bits(const tessavox_state &state, uint8_t bits[25]);

// The 192 data bits of a rate 1 block from the 196 information bits.
void read_rate_one_block(const uint8_t info[25], uint8_t block[24]);

// Handles the burst at the read position in a data-mode slot: a voice LC
// header sets the call, a terminator or idle burst ends it, data headers and
// rate 1/2 data are dumped, other types are named. Uncorrectable slot types
// and BPTC blocks, and headers and terminators whose Reed-Solomon (12,9)
// check fails, are dropped without a message.
void handle_data_burst(tessavox_state &state, int slot);
