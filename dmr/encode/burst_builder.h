// SPDX-License-Identifier: MIT
#pragma once
// Whole 132-symbol DMR bursts (see burst_layout.h): voice bursts with sync or
// with EMB and embedded-signalling fragment, data bursts with slot type and
// BPTC (196,96) information, and the six bursts of a voice superframe.

#include <cstdint>
#include <vector>

#include "burst_layout.h"
#include "full_lc_encoder.h"
#include "sync_patterns.h"

namespace dmr_encode {

inline constexpr int superframe_bursts = 6;
inline constexpr int frames_per_burst = 3;
inline constexpr int frames_per_superframe = superframe_bursts * frames_per_burst;

// A voice burst with a voice sync in its centre field (burst A of a
// superframe), carrying three 12-byte codec frames (36 bytes, frame 0 first).
burst voice_sync_burst(burst_sync sync, const uint8_t frames[36]);

// A voice burst without sync (bursts B to F): EMB word and 32-bit fragment
// in the centre field, three codec frames around it. The EMB is taken as
// given (use emb_word), so a wrong one can be sent on purpose.
burst embedded_voice_burst(uint16_t emb, uint32_t fragment, const uint8_t frames[36]);

// A data burst with its sync, a 20-bit slot type word taken as given (use
// slot_type_word) and 196 information bits (25 bytes, most significant first,
// as from bptc_196_96_encode), sent as they are.
burst data_burst(burst_sync sync, uint32_t slot_type, const uint8_t info[25]);

// A data burst of the colour code (0..15) and data type (0..15) whose
// information is the BPTC (196,96) encoding of 12 data bytes.
burst bptc_data_burst(burst_sync sync, int colour_code, int data_type, const uint8_t data[12]);

// The voice LC header and the terminator with LC of a call: data bursts of
// data type 1 and 2 carrying the full LC with its masked Reed-Solomon parity.
burst voice_lc_header_burst(burst_sync sync, int colour_code, const full_lc &lc);
burst terminator_burst(burst_sync sync, int colour_code, const full_lc &lc);

// An idle burst: data type 9 with twelve zero data bytes.
burst idle_burst(burst_sync sync, int colour_code);

// Appends the six bursts A to F of one voice superframe to out: A with the
// voice sync, B to E with EMB LCSS 1, 3, 3, 2 and fragments 0 to 3 of the
// embedded LC block (embedded_lc_encode), F with EMB LCSS 0 and a null
// fragment (0). pi (0 or 1) is the PI bit of every EMB. frames: 18 codec
// frames of 12 bytes (216 bytes), three per burst in burst order.
void append_voice_superframe(std::vector<burst> &out, burst_sync voice_sync, int colour_code,
                             const uint8_t lc_block[16], const uint8_t frames[216], int pi = 0);

}  // namespace dmr_encode
