// SPDX-License-Identifier: MIT
#include "ysf_signal.h"

#include <algorithm>

#include "idle_symbols.h"

namespace {

// The first voice full-rate frame after a header carries voice in blocks 3
// and 4 only. A radio sends other data in blocks 0 to 2; left at zero they
// would be a run of 216 equal symbols, which no real signal has and which
// pulls a receiver's level tracking off the outer levels just before the
// voice. They get idle symbols instead (a receiver does not decode them).
void fill_unused_blocks(const ysf_encode::transmission_plan &plan, ysf_encode::transmission &t) {
    if (plan.data_type != ysf_encode::fich_dt_voice_full_rate || !plan.header || t.frames < 2) return;
    const std::vector<uint8_t> fill = idle_symbols(3 * ysf_encode::block_symbols, 3);
    std::copy(fill.begin(), fill.end(), t.symbols.begin() + ysf_encode::frame_symbols + ysf_encode::first_block_offset);
}

}  // namespace

bool ysf_stream_symbols(const ysf_encode::transmission_plan &plan, std::vector<uint8_t> &symbols,
                        ysf_encode::transmission *built) {
    ysf_encode::transmission t;
    if (!ysf_encode::build_transmission(plan, t)) return false;
    fill_unused_blocks(plan, t);
    symbols = idle_symbols(ysf_lead_symbols, 1);
    symbols.insert(symbols.end(), t.symbols.begin(), t.symbols.end());
    const std::vector<uint8_t> tail = idle_symbols(ysf_tail_symbols, 2);
    symbols.insert(symbols.end(), tail.begin(), tail.end());
    if (built) *built = std::move(t);
    return true;
}
