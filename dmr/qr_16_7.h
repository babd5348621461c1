// SPDX-License-Identifier: MIT
#pragma once
// Quadratic residue (16,7,6) code of the EMB (ETSI TS 102 361-1).
// EMB word, bits 15..0: colour code (15..12), PI (11), LCSS (10..9), then the
// nine check bits (8..0).

#include <cstdint>

// Corrects up to two bit errors in place and returns true; a word farther
// from every codeword (three errors are always caught) returns false and is
// left as received.
bool qr_16_7_correct(uint16_t &word);
