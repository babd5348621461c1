// SPDX-License-Identifier: MIT
#pragma once
// Encoder of the System Fusion frame information channel (FICH): the 32
// information bits, their CRC-16, four extended Golay (24,12) words, the
// rate 1/2 K=5 convolutional code with its tail, and the 5 x 20 interleave
// of the 100 symbols that follow the frame sync.

#include <cstdint>

namespace ysf_encode {

// Frame information values.
inline constexpr uint8_t fich_fi_header = 0;
inline constexpr uint8_t fich_fi_communication = 1;
inline constexpr uint8_t fich_fi_terminator = 2;

// Data type values.
inline constexpr uint8_t fich_dt_vd_mode1 = 0;
inline constexpr uint8_t fich_dt_data_full_rate = 1;
inline constexpr uint8_t fich_dt_vd_mode2 = 2;
inline constexpr uint8_t fich_dt_voice_full_rate = 3;

// The FICH fields. Each value is masked to its width when encoded (width in
// brackets); bit positions are those of the 32 information bits, bit 31
// being the first transmitted.
struct fich_fields {
    uint8_t fi = 0;    // [2] bits 31-30: 0 header, 1 communication, 2 terminator, 3 other
    uint8_t cs = 0;    // [2] bits 29-28: call sign information
    uint8_t cm = 0;    // [2] bits 27-26: call mode
    uint8_t bn = 0;    // [2] bits 25-24: block number
    uint8_t bt = 0;    // [2] bits 23-22: block total
    uint8_t fn = 0;    // [3] bits 21-19: frame number
    uint8_t ft = 0;    // [3] bits 18-16: frame total
    uint8_t dev = 0;   // [1] bit 14 (bit 15 is always sent as 0)
    uint8_t mr = 0;    // [3] bits 13-11: message route
    uint8_t voip = 0;  // [1] bit 10
    uint8_t dt = 0;    // [2] bits 9-8: data type
    uint8_t sql = 0;   // [1] bit 7: squelch type
    uint8_t sc = 0;    // [7] bits 6-0: squelch code
};

// Number of FICH symbols, at frame offsets 20..119.
inline constexpr int fich_symbols = 100;

// The 32 information bits of the fields (bit 31 first on air). The record
// FI 1, DT 2, all else 0 gives 40000200.
uint32_t fich_information(const fich_fields &fields);

// The four Golay (24,12) words of 32 information bits: their 12-bit data
// parts are the information bits followed by their CRC-16 (computed over the
// four information bytes, most significant byte first), 48 bits in all.
void fich_golay_words(uint32_t information, uint32_t words[4]);

// Convolutionally encodes four 24-bit words (bit 23 of words[0] first) with
// the four tail bits and interleaves the 100 dibits: coded dibit k goes to
// symbol 20 * (k % 5) + k / 5. Writes 100 symbol bytes (0..3) in
// transmission order. Taking the words as an argument lets a caller put
// chosen bit errors into a word before coding.
void encode_fich_words(const uint32_t words[4], uint8_t symbols[fich_symbols]);

// The whole FICH of the fields: 100 symbol bytes in transmission order.
void encode_fich(const fich_fields &fields, uint8_t symbols[fich_symbols]);

// The same from 32 raw information bits (bit 15 included as given).
void encode_fich_information(uint32_t information, uint8_t symbols[fich_symbols]);

}  // namespace ysf_encode
