// SPDX-License-Identifier: MIT
#pragma once
// Reading tessavox's metadata lines back: for a program that turns them
// into events (the front door), and for tests. A line is "key:value;"
// fields after "protocol:DMR;slot:S;", then a newline; values are never
// quoted, and received text in them has ';', CR, LF and ESC written as
// \xHH (a backslash is sent as it is, so a received "\x3B" reads back as
// ';').
//
// The kinds of line, told apart by the key after the slot:
//
// State of a slot (sent whenever it may have changed; each line repeats
// everything known of the slot):
//   protocol:DMR;slot:S;[sync:voice|data;][type:group|direct;][source:N;]
//   [target:N;][alias:TEXT;][lat:F;lon:F;][encrypted:1;]
//   [algorithm:N;key_id:N;][emergency:1;][broadcast:1;][ovcm:1;][priority:N;]
//   encrypted: the voice LC's privacy option, a PI header, or PI in two
//   EMBs of the call; algorithm and key_id: from the PI header; priority
//   1..3. All cleared at the call's end (terminator, idle, data sync).
//
// A CSBK whose CRC passed (one line for each, repeats included):
//   protocol:DMR;slot:S;csbk:OPCODE;fid:N;lb:0|1;pf:0|1;[name:NAME;]
//   [source:N;target:N;]data:HEX16;
//   NAME for feature set 0: UU_V_Req, UU_Ans_Rsp, CT_CSBK, NACK_Rsp,
//   BS_Dwn_Act, Pre_CSBK and the Tier III C_ALOHA, C_AHOY, C_RAND, C_ACKD,
//   C_BCAST, P_MAINT, P_CLEAR, P_PROTECT, PV_GRANT, TV_GRANT, BTV_GRANT,
//   PD_GRANT, TD_GRANT. source/target where the opcode carries them
//   (BS_Dwn_Act: target is the BS address). data: bytes 2..9.
//
// A complete data message whose checks passed, and a dropped one:
//   protocol:DMR;slot:S;data:FORMAT;sap:N;source:N;target:N;group:0|1;
//   bytes:N;payload:HEX;[truncated:1;][ip_source:A.B.C.D;ip_target:A.B.C.D;]
//   [udp_source:N;udp_target:N;][text:TEXT;][lat:F;lon:F;]
//   protocol:DMR;slot:S;data:response;sap:N;source:N;target:N;group:0|1;
//   class:N;type:N;status:N;
//   protocol:DMR;slot:S;data:udt;sap:N;source:N;target:N;group:0|1;
//   udt_format:N;udt_opcode:N;
//   protocol:DMR;slot:S;data_dropped:lost_block|block_check|message_check|lost_sync;failures:N;
//   FORMAT: unconfirmed, confirmed, defined_short, raw_short, proprietary.
//   failures: the channel's count of dropped messages so far.
//
// Signal presence (tessavox --presence only), on change:
//   protocol:DMR;slot:S;signal:BS|MS;cc:N;[carries:voice|data|idle|control;]
//   protocol:DMR;slot:S;signal:none;

#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class dmr_line_kind { not_dmr, slot_state, csbk, data_message, data_dropped, presence };

struct dmr_line {
    dmr_line_kind kind = dmr_line_kind::not_dmr;
    int slot = -1;
    // The fields after protocol and slot, in line order, values unescaped.
    std::vector<std::pair<std::string, std::string>> fields;

    // The value of a key, or null.
    const std::string *find(std::string_view key) const;
    // The value of a key as a whole number, or fallback.
    long long number(std::string_view key, long long fallback = 0) const;
};

// Reads one line (with or without its newline). A line that is not a DMR
// line, or is malformed, gives kind not_dmr.
dmr_line read_dmr_line(std::string_view line);
