// SPDX-License-Identifier: MIT
// quadlock's stream logic on arbitrary bytes taken as float samples (NaN,
// infinities, subnormals and huge values included). The first byte picks
// the read size (1..256 samples), its low bit also inversion; a trailing
// part of a sample is dropped as fread does. Every symbol byte must be 0..3,
// no block may complete more symbols than the output buffer holds, and the
// loop's state must stay finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "quadlock.h"

namespace {

quadlock_state state;
float block[quadlock_block_size];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block_samples = data[0] % quadlock_block_size + 1u;
    ++data;
    --size;
    const std::size_t samples = size / sizeof(float);

    state = quadlock_state{};
    state.invert = (data[-1] & 1) != 0;
    for (std::size_t at = 0; at < samples; at += block_samples) {
        const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
        std::memcpy(block, data + at * sizeof(float), n * sizeof(float));
        // Room for one symbol past the limit shows an overrun to the check
        // below before AddressSanitizer would.
        uint8_t symbols[quadlock_max_symbols + 1];
        const int32_t produced = quadlock_block(state, block, static_cast<int32_t>(n), symbols);
        if (produced < 0 || produced > quadlock_max_symbols) fuzz_fail("block completed too many symbols");
        for (int32_t i = 0; i < produced; ++i)
            if (symbols[i] > 3) fuzz_fail("symbol byte outside 0..3");
        if (!std::isfinite(state.loop.fraction) || !std::isfinite(state.loop.dc) || !std::isfinite(state.loop.outer))
            fuzz_fail("loop state no longer finite");
    }
    return 0;
}
