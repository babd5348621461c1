// SPDX-License-Identifier: MIT
#pragma once
// The bit stream of a POCSAG transmission of one or more pages, built from
// the fixture encoder, with an idle tail.

#include <cstdint>
#include <vector>

#include "pocsag_encode.h"

// Alternating bits after the last batch, so that a receiver has the bits
// after its last codeword and sees the transmission end.
inline constexpr int pocsag_tail_bits = 64;

std::vector<uint8_t> pocsag_stream_bits(const std::vector<pocsag_page> &pages);
