// SPDX-License-Identifier: MIT
// speechsieve's stream logic on arbitrary bytes as 16-bit or float samples
// (NaN, infinities and subnormals included). The first byte picks the form
// (bit 0: float) and the read size (the other bits: 1..32 samples).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "speech_band.h"

namespace {

constexpr std::size_t block_limit = 32;

speech_band_state state;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const bool float_mode = (data[0] & 1) != 0;
    const std::size_t block_samples = (data[0] >> 1) % block_limit + 1u;
    ++data;
    --size;

    state = speech_band_state{};
    if (float_mode) {
        float block[block_limit];
        const std::size_t samples = size / sizeof(float);
        for (std::size_t at = 0; at < samples; at += block_samples) {
            const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
            std::memcpy(block, data + at * sizeof(float), n * sizeof(float));
            speech_band_filter_float(state, block, n);
        }
    } else {
        std::int16_t block[block_limit];
        const std::size_t samples = size / sizeof(std::int16_t);
        for (std::size_t at = 0; at < samples; at += block_samples) {
            const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
            std::memcpy(block, data + at * sizeof(std::int16_t), n * sizeof(std::int16_t));
            speech_band_filter_int16(state, block, n);
        }
    }
    return 0;
}
