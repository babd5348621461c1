// SPDX-License-Identifier: MIT
#pragma once
// Telling a received page from channel noise.
//
// Random bits hold a word within 3 bits of the sync codeword about once in
// 780,000 bits; a quarter of the random codewords after it then pass BCH
// correction and parity, 15 of 16 of them only after two bits were flipped.
// An address codeword among them opens a page that the next address codeword
// prints: a page never sent. A page of a real transmission comes after a
// preamble or an earlier batch, or needed few corrections.
//
// A page is taken as received when
//   - the sync codeword that opened its address codeword's batch belongs to
//     a transmission under way (the decoder decides, see sync_confirmed):
//     it came right after a preamble, in its slot after a batch, or on the
//     batch grid of an earlier sync codeword or preamble. Every such page is
//     printed, however many bits were corrected; or
//   - otherwise (a sync codeword found alone, in the middle of a
//     transmission or in noise): the bits flipped by correction in its
//     codewords (the address, message and idle codewords up to its end),
//     plus the wrong bits of that sync codeword, are at most one per
//     codeword plus page_error_allowance. Random bits almost always need two
//     per codeword and three in the sync codeword.
//
// and, for either kind, when nothing marks it as a codeword that correction
// made up from noise. In a transmission under way at low SNR, a quarter of
// the codewords with three or more wrong bits still pass correction and
// parity, almost all after two flipped bits: an address codeword among them
// is a tone page at a random address. So is every codeword that passes in a
// batch whose alignment has slipped (a bit lost or gained by the
// demodulator), where each codeword after the slip is random. A page is
// dropped when
//   - it comes after page_misaligned_run failed codewords in a row in its
//     batch (the mark of a slip) and its address codeword needed
//     correction; or
//   - it is a tone page (no message codewords) whose address codeword needed
//     correction, ended by loss of sync or by the end of the input with
//     fewer than two codewords after it that needed no correction: nothing
//     showed that the channel still carried the transmission; or
//   - it is a tone page whose address codeword needed two corrected bits and
//     no codeword after it (idle, or the address codeword that ended it)
//     decoded without correction.
// Real pages at these SNRs almost always have a clean codeword somewhere
// after their address: a text page its message codewords, a tone page the
// idle fill or the next page's address.

#include <cstdint>

#include "pocsag_message.h"

// A preamble: page_preamble_bits alternating ones and zeros, within
// page_preamble_error_limit wrong bits right before a sync codeword. As a
// mark of where a transmission's batches begin, the stricter
// page_preamble_anchor_limit, and sync codewords found within
// page_preamble_grid_tolerance bits of that grid.
inline constexpr int page_preamble_bits = 64;
inline constexpr int page_preamble_error_limit = 16;
inline constexpr int page_preamble_anchor_limit = 12;
inline constexpr int page_preamble_grid_tolerance = 24;

// Corrected bits a page found alone may have beyond one per codeword.
inline constexpr int page_error_allowance = 2;

// Failed codewords in a row after which a batch counts as misaligned: three
// in a row are rare (about 1 in 100) for a real batch at the lowest SNR
// pages are received at, and common after a slip.
inline constexpr int page_misaligned_run = 3;

// Wrong bits of page_preamble_bits received bit bytes (non-zero is 1)
// against alternating ones and zeros, in the closer of the two phases.
int preamble_errors(const uint8_t *bits);

// True if the page is to be printed by the rule above.
bool page_is_plausible(const pocsag_message &message);
