// SPDX-License-Identifier: MIT
#include "csbk.h"

#include <cstdio>
#include <cstring>

#include "data_checks.h"

namespace {

struct opcode_entry {
    int opcode;
    const char *name;
    bool addresses;  // bytes 4..6 target (or BS) address, bytes 7..9 source
};

// Feature set 0: ETSI TS 102 361-2 (Tier II) and TS 102 361-4 (Tier III).
constexpr opcode_entry standard_opcodes[] = {
    {0x04, "UU_V_Req", true},    // unit to unit voice service request
    {0x05, "UU_Ans_Rsp", true},  // unit to unit voice service answer response
    {0x07, "CT_CSBK", false},    // channel timing
    {0x19, "C_ALOHA", false},    // Tier III aloha
    {0x1C, "C_AHOY", true},      // Tier III ahoy
    {0x1F, "C_RAND", true},      // Tier III random access service request
    {0x20, "C_ACKD", true},      // Tier III acknowledgement
    {0x26, "NACK_Rsp", true},    // negative acknowledge response
    {0x28, "C_BCAST", false},    // Tier III announcement
    {0x2A, "P_MAINT", true},     // Tier III maintenance
    {0x2E, "P_CLEAR", true},     // Tier III clear
    {0x2F, "P_PROTECT", false},  // Tier III protect
    {0x30, "PV_GRANT", true},    // Tier III private voice grant
    {0x31, "TV_GRANT", true},    // Tier III talkgroup voice grant
    {0x32, "BTV_GRANT", true},   // Tier III broadcast talkgroup voice grant
    {0x33, "PD_GRANT", true},    // Tier III private data grant
    {0x34, "TD_GRANT", true},    // Tier III talkgroup data grant
    {0x38, "BS_Dwn_Act", true},  // BS outbound activation: BS address and source
    {0x3D, "Pre_CSBK", true},    // preamble
};

const opcode_entry *find_opcode(int opcode) {
    for (const opcode_entry &e : standard_opcodes)
        if (e.opcode == opcode) return &e;
    return nullptr;
}

int32_t address_at(const uint8_t *b) { return (b[0] << 16) | (b[1] << 8) | b[2]; }

}  // namespace

const char *csbk_opcode_name(int opcode) {
    const opcode_entry *e = find_opcode(opcode);
    return e ? e->name : nullptr;
}

bool decode_csbk(const uint8_t bytes[12], csbk_fields &csbk) {
    if (!crc_ccitt_check(bytes, 12, crc_mask_csbk)) return false;
    csbk = csbk_fields{};
    csbk.last_block = (bytes[0] & 0x80) != 0;
    csbk.protect = (bytes[0] & 0x40) != 0;
    csbk.opcode = bytes[0] & 0x3F;
    csbk.feature_set = bytes[1];
    std::memcpy(csbk.data, bytes + 2, sizeof csbk.data);
    if (csbk.feature_set == csbk_standard_feature_set) {
        if (const opcode_entry *e = find_opcode(csbk.opcode)) {
            csbk.name = e->name;
            if (e->addresses) {
                csbk.has_addresses = true;
                csbk.target = address_at(bytes + 4);
                csbk.source = address_at(bytes + 7);
            }
        }
    }
    return true;
}

int compose_csbk_line(char *line, std::size_t capacity, int slot, const csbk_fields &csbk) {
    if (capacity == 0) return 0;
    char names[32] = "";
    if (csbk.name) std::snprintf(names, sizeof names, "name:%s;", csbk.name);
    char addresses[48] = "";
    if (csbk.has_addresses)
        std::snprintf(addresses, sizeof addresses, "source:%i;target:%i;", csbk.source, csbk.target);
    char hex[17];
    for (int i = 0; i < 8; ++i) std::snprintf(hex + 2 * i, 3, "%02X", csbk.data[i]);
    int n = std::snprintf(line, capacity, "protocol:DMR;slot:%i;csbk:%i;fid:%i;lb:%i;pf:%i;%s%sdata:%s;\n", slot,
                          csbk.opcode, csbk.feature_set, csbk.last_block ? 1 : 0, csbk.protect ? 1 : 0, names,
                          addresses, hex);
    if (n < 0) {
        line[0] = 0;
        return 0;
    }
    return n >= static_cast<int>(capacity) ? static_cast<int>(capacity) - 1 : n;
}
