// SPDX-License-Identifier: MIT
#pragma once
// POCSAG encoders (ITU-R M.584) for test fixtures and test signals: the
// inverse of the decoder, built independently of it. Codewords are 32 bits,
// first transmitted bit as bit 31; bit streams are one byte (0 or 1) per bit
// in order of transmission.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t encode_sync_codeword = 0x7CD215D8u;
inline constexpr uint32_t encode_idle_codeword = 0x7A89C197u;

// Codewords per batch after its sync codeword (8 frames of 2).
inline constexpr int encode_batch_codewords = 16;

// Bits of the usual preamble of alternating ones and zeros.
inline constexpr int encode_preamble_bits = 576;

// The BCH(31,21) code word of 21 data bits (low 21 bits of data): the data
// in bits 30..10 and the 10 check bits in bits 9..0, so that the word is a
// multiple of x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1.
uint32_t bch_31_21_encode(uint32_t data);

// The 32-bit codeword of 21 data bits (flag first): the BCH word shifted left
// by one with the even parity bit as bit 0.
uint32_t pocsag_codeword(uint32_t data);

// The address codeword of a 21-bit address (its frame number, the low 3 bits,
// is not sent; the codeword must be placed in that frame) with the two
// function bits (0..3).
uint32_t pocsag_address_codeword(int32_t address, int function);

// The frame (0..7) an address codeword of this address must be sent in.
inline int pocsag_address_frame(int32_t address) { return address & 7; }

// The message codeword carrying 20 information bits (first sent as bit 19).
uint32_t pocsag_message_codeword(uint32_t bits);

// The 20-bit information words of a numeric text: 4-bit characters from
// "0123456789*U -)(", first sent bit the least significant, five to a word;
// the last word is filled up with spaces. Any other character is sent as a
// space.
std::vector<uint32_t> pocsag_numeric_words(std::string_view text);

// The 20-bit information words of an alphanumeric text: 7-bit characters,
// first sent bit the least significant, running on across words; the last
// word is filled up with zero bits.
std::vector<uint32_t> pocsag_alphanumeric_words(std::string_view text);

enum class pocsag_text_kind { numeric, alphanumeric };

// One page to send: 21-bit address, function bits, and the text.
struct pocsag_page {
    int32_t address = 0;
    int function = 0;
    pocsag_text_kind kind = pocsag_text_kind::numeric;
    std::string text;
};

// The codewords of the batches carrying the pages in order (sync codewords not
// included): each address codeword in its frame, idle codewords where a
// page waits for its frame, the message codewords right after their address,
// then at least one idle codeword, and idle fill to a whole batch.
std::vector<uint32_t> pocsag_page_codewords(const std::vector<pocsag_page> &pages);

// Appends the 32 bits of a codeword, bit 31 first.
void append_codeword_bits(std::vector<uint8_t> &bits, uint32_t codeword);

// The bit stream of a transmission: preamble_bits alternating bits starting
// with 1, then batches of a sync codeword and 16 codewords; the last batch is
// filled up with idle codewords.
std::vector<uint8_t> pocsag_batch_bits(const std::vector<uint32_t> &codewords,
                                       int preamble_bits = encode_preamble_bits);

// The bit stream of a transmission of several pages in a row.
std::vector<uint8_t> pocsag_transmission(const std::vector<pocsag_page> &pages,
                                         int preamble_bits = encode_preamble_bits);
