// pulsesieve's stream logic on arbitrary bytes as float samples (NaN,
// infinities and subnormals included). The first byte picks the read size
// (1..256 samples). The filter is linear and time-invariant, so the output
// may not depend on how the input is cut into blocks: the same samples in
// one piece must give the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "rrc_filter.h"

namespace {

constexpr std::size_t block_limit = 256;

rrc_state state;
rrc_state whole_state;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t block_samples = data[0] % block_limit + 1u;
    ++data;
    --size;
    const std::size_t samples = size / sizeof(float);

    std::vector<float> blocks(samples);
    if (samples > 0) std::memcpy(blocks.data(), data, samples * sizeof(float));
    std::vector<float> whole = blocks;

    state = rrc_state{};
    for (std::size_t at = 0; at < samples; at += block_samples) {
        const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
        rrc_filter(state, blocks.data() + at, n);
    }
    whole_state = rrc_state{};
    rrc_filter(whole_state, whole.data(), whole.size());
    if (samples > 0 && std::memcmp(blocks.data(), whole.data(), samples * sizeof(float)) != 0)
        fuzz_fail("output depends on the block size");
    return 0;
}
