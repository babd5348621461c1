#include "ysf_signal.h"

#include "idle_symbols.h"

bool ysf_stream_symbols(const ysf_encode::transmission_plan &plan, std::vector<uint8_t> &symbols,
                        ysf_encode::transmission *built) {
    ysf_encode::transmission t;
    if (!ysf_encode::build_transmission(plan, t)) return false;
    symbols = idle_symbols(ysf_lead_symbols, 1);
    symbols.insert(symbols.end(), t.symbols.begin(), t.symbols.end());
    const std::vector<uint8_t> tail = idle_symbols(ysf_tail_symbols, 2);
    symbols.insert(symbols.end(), tail.begin(), tail.end());
    if (built) *built = std::move(t);
    return true;
}
