// SPDX-License-Identifier: MIT
#pragma once
// Control signalling blocks (CSBK, data type 3): 12 bytes from the BPTC
// (196,96) of a data burst. Byte 0: last block (bit 7), protect flag (bit 6),
// opcode (bits 5..0); byte 1: feature set id; bytes 2..9: the opcode's
// fields; bytes 10..11: CRC-CCITT with the CSBK mask (ETSI TS 102 361-2; the
// Tier III opcodes of TS 102 361-4).

#include <cstddef>
#include <cstdint>

inline constexpr int csbk_standard_feature_set = 0;

struct csbk_fields {
    bool last_block = false;
    bool protect = false;
    int opcode = 0;              // 0..63
    int feature_set = 0;         // 0..255
    const char *name = nullptr;  // the standard's short name, or none (another feature set, an unknown opcode)
    bool has_addresses = false;  // the opcode carries a target and a source address
    int32_t target = 0;          // 24 bits
    int32_t source = 0;          // 24 bits
    uint8_t data[8] = {};        // bytes 2..9 as received
};

// Checks the CRC of 12 decoded bytes and takes the fields; false (fields
// untouched) if the CRC fails.
bool decode_csbk(const uint8_t bytes[12], csbk_fields &csbk);

// The short name of a standard opcode (feature set 0), or null.
const char *csbk_opcode_name(int opcode);

// The metadata line of one decoded CSBK, with its newline:
//   protocol:DMR;slot:S;csbk:OPCODE;fid:FID;lb:L;pf:P;[name:NAME;][source:N;target:N;]data:HEX;
// data is bytes 2..9 as 16 upper-case hexadecimal digits. Returns the length
// (at most capacity - 1).
int compose_csbk_line(char *line, std::size_t capacity, int slot, const csbk_fields &csbk);
