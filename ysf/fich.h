// SPDX-License-Identifier: MIT
#pragma once
// The frame information channel (FICH): 100 symbols after the frame sync
// that say what the frame is. On air: 32 information bits and a 16-bit CRC,
// split into four 12-bit parts, each an extended Golay (24,12) word, the 96
// bits plus 4 tail bits convolutionally coded (rate 1/2, K = 5) into 100
// dibits and interleaved as 5 rows of 20 symbols.

#include <cstdint>
#include <cstdio>

#include "ysf_frame.h"

// The fields of a decoded FICH, by their bits among the 32 information bits
// (bit 31 the first received; bit 15 belongs to no field).
struct fich_record {
    uint8_t FI = 0;    // 31-30 frame information: 0 header, 1 communication, 2 terminator, 3 other
    uint8_t CS = 0;    // 29-28 call sign information
    uint8_t CM = 0;    // 27-26 call mode
    uint8_t BN = 0;    // 25-24 block number
    uint8_t BT = 0;    // 23-22 block total
    uint8_t FN = 0;    // 21-19 frame number, 0..7
    uint8_t FT = 0;    // 18-16 frame total
    uint8_t DEV = 0;   // 14
    uint8_t MR = 0;    // 13-11 message route
    uint8_t VoIP = 0;  // 10
    uint8_t DT = 0;    // 9-8 data type: 0 V/D mode 1, 1 data full-rate, 2 V/D mode 2, 3 voice full-rate
    uint8_t SQL = 0;   // 7 squelch type
    uint8_t SC = 0;    // 6-0 squelch code
};

inline constexpr uint8_t fich_fi_header = 0;
inline constexpr uint8_t fich_fi_communication = 1;
inline constexpr uint8_t fich_fi_terminator = 2;
inline constexpr uint8_t fich_dt_vd_mode1 = 0;
inline constexpr uint8_t fich_dt_data_full_rate = 1;
inline constexpr uint8_t fich_dt_vd_mode2 = 2;
inline constexpr uint8_t fich_dt_voice_full_rate = 3;

// Splits the 32 information bits (bit 31 first received) into their fields.
fich_record fich_from_information(uint32_t information);

// Decodes the FICH of the frame whose start is the ring's read position.
// On success fills record and returns true. On failure writes
// "golay failure\n" (some Golay word uncorrectable; the CRC is then not
// checked) or "CRC failure\n" to err (unless err is null: a quiet look at a
// candidate frame) and returns false, record untouched.
bool decode_fich(const ysf_ring &ring, fich_record &record, FILE *err);
