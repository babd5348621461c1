// SPDX-License-Identifier: MIT
#pragma once
// Moves a recovered clock's next sampling instant on by step samples: whole
// samples into instant, the rest kept in fraction (0 <= fraction < 1). A step
// that is not finite moves by fallback (the nominal period) instead, so a
// poisoned loop never loses the clock.

#include <cmath>
#include <cstdint>

inline void advance_clock(int64_t &instant, double &fraction, double step, double fallback) {
    double next = fraction + step;
    if (!std::isfinite(next)) next = fraction + fallback;
    const double whole = std::floor(next);
    instant += static_cast<int64_t>(whole);
    fraction = next - whole;
}
