// SPDX-License-Identifier: MIT
#pragma once
// Talker alias: the caller's name, sent in the embedded LC of a voice call
// (ETSI TS 102 361-2) as a header (FLCO 4) and up to three blocks (FLCO 5,
// 6, 7), each LC with feature set 0.
//
// Header data bytes b2..b8: b2 bits 7..6 the format, bits 5..1 the length
// in characters, bit 0 the first alias data bit; b3..b8 alias data bits
// 1..48. Block k (1..3): b2..b8 are alias data bits 49 + 56(k-1) onwards.
// 217 alias data bits in all, first bit most significant; characters are
// 7 bits (7-bit format), 8 bits (ISO 8859-1), UTF-8 bytes or 16-bit UTF-16
// big-endian code units, one after another from bit 0.

#include <cstddef>
#include <cstdint>

#include "tessavox_state.h"

enum talker_alias_format : uint8_t {
    talker_alias_7bit = 0,
    talker_alias_iso8859 = 1,
    talker_alias_utf8 = 2,
    talker_alias_utf16 = 3,
};

inline constexpr int talker_alias_data_bits = 217;
inline constexpr int talker_alias_data_bytes = 28;  // the bits packed, the last byte holding one

// The alias text as UTF-8 (zero-terminated, at most capacity bytes with the
// zero) from the alias data bits, of which the first available_bits are
// received. The length counts characters: 7-bit or ISO 8859-1 characters,
// UTF-8 encoded code points, UTF-16 code units; it is cut to what 217 bits
// hold. True when every bit the length needs is there; a zero character
// ends the text early. Invalid UTF-8 and unpaired UTF-16 surrogates become
// U+FFFD.
bool decode_talker_alias(int format, int length, const uint8_t data[talker_alias_data_bytes], int available_bits,
                         char *text, std::size_t capacity);

// Takes an embedded LC with FLCO 4 (part 0, the header) or 5..7 (parts 1..3)
// for the slot. Once the header and every block that its length needs have
// arrived, the alias goes into the slot's record, which is sent if the alias
// changed. A header that differs from the one held starts the alias afresh.
void take_talker_alias(tessavox_state &state, const uint8_t lc[9], int slot, int part);

// Forgets the slot's alias parts (the call ended).
void clear_talker_alias(tessavox_state &state, int slot);
