// SPDX-License-Identifier: MIT
#pragma once
// Golay (20,8,7) code of the slot type (ETSI TS 102 361-1).
// Slot type word, bits 19..0: colour code (19..16), data type (15..12), then
// the twelve check bits (11..0).

#include <cstdint>

// Corrects up to three bit errors in place and returns true; a word whose
// syndrome no such pattern gives returns false and is left as received. Four
// or more errors may also be miscorrected to another codeword. Bits above 19
// are ignored and cleared on success.
bool golay_20_8_correct(uint32_t &word);
