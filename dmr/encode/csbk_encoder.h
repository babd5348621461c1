// SPDX-License-Identifier: MIT
#pragma once
// CSBKs as a base station or a radio sends them (ETSI TS 102 361-2): 12
// bytes (last block and protect flags with the opcode, feature set id, eight
// bytes of the opcode's fields, CRC-CCITT with the CSBK mask) in the BPTC
// (196,96) of a data burst of data type 3.

#include <array>
#include <cstdint>

#include "burst_layout.h"
#include "sync_patterns.h"

namespace dmr_encode {

using csbk_block = std::array<uint8_t, 12>;

inline constexpr int data_type_csbk_value = 3;

// The block of an opcode (0..63) and feature set with its eight field bytes.
csbk_block make_csbk(int opcode, int feature_set, const uint8_t fields[8], bool last_block = true,
                     bool protect = false);

// The block of an opcode whose fields are a target address in bytes 4..6
// and a source address in bytes 7..9 (bytes 2 and 3 as given in options).
csbk_block make_addressed_csbk(int opcode, int feature_set, uint32_t target, uint32_t source, uint8_t byte2 = 0,
                               uint8_t byte3 = 0);

// The data burst that carries a CSBK block.
burst csbk_burst(burst_sync sync, int colour_code, const csbk_block &block);

}  // namespace dmr_encode
