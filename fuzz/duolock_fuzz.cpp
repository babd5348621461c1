// SPDX-License-Identifier: MIT
// duolock's stream logic on arbitrary bytes taken as float samples (NaN,
// infinities, subnormals and huge values included). The first byte picks
// the read size (1..256 samples), its low bit inversion and the next two
// bits the rate (512, 1200, 2400); a trailing part of a sample is dropped as
// fread does. Every bit byte must be 0 or 1, no block may complete more
// bits than the output buffer holds, and the loop's state must stay finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "duolock.h"
#include "fuzz_support.h"

namespace {

duolock_state state;
float block[duolock_block_size];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block_samples = data[0] % duolock_block_size + 1u;
    const int rates[4] = {512, 1200, 2400, 1200};
    ++data;
    --size;
    const std::size_t samples = size / sizeof(float);

    state = duolock_state{};
    state.invert = (data[-1] & 1) != 0;
    duolock_set_rate(state, rates[(data[-1] >> 1) & 3]);
    for (std::size_t at = 0; at < samples; at += block_samples) {
        const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
        std::memcpy(block, data + at * sizeof(float), n * sizeof(float));
        uint8_t bits[duolock_max_bits + 1];
        const int32_t produced = duolock_block(state, block, static_cast<int32_t>(n), bits);
        if (produced < 0 || produced > duolock_max_bits) fuzz_fail("block completed too many bits");
        for (int32_t i = 0; i < produced; ++i)
            if (bits[i] > 1) fuzz_fail("bit byte other than 0 or 1");
        if (!std::isfinite(state.loop.fraction) || !std::isfinite(state.loop.high) || !std::isfinite(state.loop.low))
            fuzz_fail("loop state no longer finite");
    }
    return 0;
}
