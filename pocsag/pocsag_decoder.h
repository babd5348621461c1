// SPDX-License-Identifier: MIT
#pragma once
// POCSAG batch synchronisation and codeword decoding (ITU-R M.584) over a
// stream of received bits, one byte per bit.
//
// A transmission is a preamble, then batches: one sync codeword and 16
// codewords in 8 frames of 2. Each codeword, first received bit first:
//
//   F AAAAAAAAAAAAAAAAAA ff CCCCCCCCCC P   address codeword (F = 0)
//   F DDDDDDDDDDDDDDDDDDDD  CCCCCCCCCC P   message codeword (F = 1)
//
//   F flag (bit 31), A 18 address bits (30..13), f 2 function bits (12..11),
//   D 20 information bits (30..11), C 10 BCH check bits (10..1), P even
//   parity over all 32 bits (bit 0).
//
// The decoder searches bit by bit for the sync codeword (at most 3 wrong
// bits), then takes 16 codewords and expects the next sync codeword; a single
// failed sync slot sends it back to searching.

#include <cstddef>
#include <cstdint>

#include "pocsag_message.h"
#include "symbol_ring.h"

inline constexpr uint32_t pocsag_sync_codeword = 0x7CD215D8u;
inline constexpr uint32_t pocsag_idle_codeword = 0x7A89C197u;

// Bytes one read of standard input asks for.
inline constexpr int pagewick_block_size = 128;

// Bits that must be in the ring before 32 of them are examined.
inline constexpr int32_t pagewick_consume_level = 33;

// The sync codeword as 32 bytes of 0 or 1, most significant bit first.
extern const uint8_t pocsag_sync_pattern[32];

// Everything the decoder keeps between blocks. Zero-initialised at start:
// searching, empty ring, no message.
struct pagewick_state {
    symbol_ring<uint8_t, 1024> ring;
    bool synchronised = false;
    int32_t codeword_index = 0;  // codewords taken since the last sync codeword, 0..16
    // The sync codeword that opened the batch: its wrong bits (0..3), and
    // whether it belongs to a transmission under way (see page_filter.h).
    uint8_t sync_errors = 0;
    bool sync_confirmed = false;
    // Failed codewords in a row in the current batch, and whether such a run
    // has reached page_misaligned_run (see page_filter.h) since its sync.
    uint8_t failure_run = 0;
    bool batch_misaligned = false;
    // Bits since that sync codeword began, and since the end of the last
    // preamble the search passed; large before either.
    int32_t bits_since_sync = 1 << 30;
    int32_t bits_since_preamble = 1 << 30;
    pocsag_message message;
    // The last codeword taken was all zeros, and the current message was
    // opened by one (see take_codeword: a held carrier).
    bool previous_zero = false;
    bool zero_page = false;
};

// True if the 32 bytes lie within 3 bits of the sync pattern, counting the
// differing bits of the raw bytes.
bool is_sync(const uint8_t *bytes32);

// Decodes one 32-bit codeword taken from the slot at codeword index
// state.codeword_index and applies it to the current message: BCH
// correction, parity check, then idle (a sync codeword in this slot counts
// as one), message or address codeword.
void take_codeword(pagewick_state &state, uint32_t codeword, const pocsag_sink &sink);

// Processes received bit bytes (any values, any count; 0 is bit 0, anything
// else bit 1) as the blocks of standard input: appends them to the ring in
// pieces of at most one block and runs the search or the batch loop after
// each piece, writing page lines and diagnostics to sink.
void pagewick_process(pagewick_state &state, const uint8_t *bytes, std::size_t count, const pocsag_sink &sink);

// The end of input: decodes the codewords that were waiting for one more bit,
// then prints the current message, if any, as loss of the signal would.
void pagewick_finish(pagewick_state &state, const pocsag_sink &sink);
