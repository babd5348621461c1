// SPDX-License-Identifier: MIT
#pragma once
// Reassembly of DMR data messages per slot: a data header whose CRC passes
// opens a message of the blocks it announces; the data bursts that follow in
// the slot (rate 1/2, rate 3/4, rate 1) are its blocks. Confirmed blocks
// carry a serial number and a CRC-9, and the last block ends with the
// message CRC-32. A complete message whose checks pass is reported on an
// event line; a message with a failed check, a lost block (another burst of
// the slot where a block was due) or cut by lost sync is dropped whole and
// counted.
//
// Event lines (newline at the end):
//   protocol:DMR;slot:S;data:FORMAT;sap:N;source:N;target:N;group:0|1;
//     bytes:N;payload:HEX;[truncated:1;][ip_source:A.B.C.D;ip_target:A.B.C.D;]
//     [udp_source:N;udp_target:N;][text:TEXT;][lat:F;lon:F;]
//   protocol:DMR;slot:S;data:response;sap:N;source:N;target:N;group:0|1;
//     class:N;type:N;status:N;
//   protocol:DMR;slot:S;data:udt;...;udt_format:N;udt_opcode:N;  (header only)
//   protocol:DMR;slot:S;data_dropped:REASON;failures:N;
// FORMAT: unconfirmed, confirmed, defined_short, raw_short, proprietary.
// bytes: the user data octets (pad and CRC removed); payload: the first 256
// of them in upper-case hex. REASON: lost_block, block_check, message_check,
// lost_sync. failures: the channel's count of dropped messages so far. TEXT
// is UTF-8 with ';', CR, LF and ESC escaped as \xHH.

#include <cstdint>

#include "data_header.h"

inline constexpr int data_message_limit = 127 * 24;

struct data_assembly {
    bool active = false;
    data_header header;
    int rate = 0;  // data type of its blocks (7, 8, 10), 0 before the first
    int blocks_received = 0;
    bool damaged = false;
    int length = 0;
    uint8_t bytes[data_message_limit] = {};
};

struct tessavox_state;

// A data header whose CRC passed, in the slot.
void take_data_header(tessavox_state &state, int slot, const data_header &header);

// A data block of data type 7 (12 bytes), 8 (18 bytes) or 10 (24 bytes) in
// the slot; ignored when no message is open.
void take_data_block(tessavox_state &state, int slot, int data_type, const uint8_t *bytes, int count);

// Another burst in the slot (CSBK, voice or LC header, terminator, idle) or
// lost sync (reason "lost_sync"): an open message has lost a block.
void cut_data_message(tessavox_state &state, int slot, const char *reason = "lost_block");
