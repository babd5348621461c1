// SPDX-License-Identifier: MIT
#pragma once
// Hamming (16,11,4) code of the rows of the embedded link control matrix
// (ETSI TS 102 361-1): 11 data bits (bits 15..5) and 5 check bits (4..0).

#include <cstdint>

// Corrects one bit error in place. Syndromes that no single error gives,
// among them every two-bit error, fail and leave the word as received.
bool hamming_16_11_correct(uint16_t &word);
