// SPDX-License-Identifier: MIT
// duoslice's stream logic on arbitrary bytes taken as float samples (NaN,
// infinities and subnormals included). The first byte picks the read size
// (1..256 samples), its low bit also inversion; a trailing part of a sample is dropped as fread does.
// Every bit byte must be 0 or 1 and no block may complete more bits than
// the output buffer holds.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "duoslice.h"

namespace {

duoslice_state state;
float block[duoslice_block_size];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block_samples = data[0] % duoslice_block_size + 1u;
    ++data;
    --size;
    const std::size_t samples = size / sizeof(float);

    state = duoslice_state{};
    state.invert = (data[-1] & 1) != 0;
    for (std::size_t at = 0; at < samples; at += block_samples) {
        const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
        std::memcpy(block, data + at * sizeof(float), n * sizeof(float));
        // Room for one bit past the limit shows an overrun to the check below
        // before AddressSanitizer would.
        uint8_t bits[duoslice_max_bits + 1];
        const int32_t produced = duoslice_block(state, block, static_cast<int32_t>(n), bits);
        if (produced < 0 || produced > duoslice_max_bits) fuzz_fail("block completed too many bits");
        for (int32_t i = 0; i < produced; ++i)
            if (bits[i] > 1) fuzz_fail("bit byte other than 0 or 1");
    }
    return 0;
}
