// SPDX-License-Identifier: MIT
#pragma once
// Baseband test signals for the demodulators.

#include <cstddef>
#include <cstdint>
#include <vector>

// One window of window_length samples per value whose eight middle samples
// average to exactly that value: the sample at window position 1 is 8 times
// the value, every other sample 0.
std::vector<float> value_windows(const std::vector<float> &values, int window_length);

// count symbols held for period samples each, with pseudo-random levels from
// levels (seeded), the first sample of every symbol scaled by edge (a dip
// where one symbol gives way to the next), and lead samples of level 1.0 in
// front, so that the first symbol change lies at window position lead.
// The levels sent are stored in sent if it is given.
std::vector<float> held_symbols(int count, int period, int lead, float edge, const std::vector<float> &levels,
                                uint32_t seed, std::vector<float> *sent = nullptr);

// samples samples of a symbol stream whose symbols last period samples (not
// a whole number), so that the timing recovery has to move the read position
// now and then; each symbol change dips to 20 % and a little noise is added.
std::vector<float> drifting_symbols(int samples, double period, const std::vector<float> &levels, uint32_t seed);

inline const std::vector<float> four_levels = {3.0f, 1.0f, -1.0f, -3.0f};
inline const std::vector<float> two_levels = {1.0f, -1.0f};

// Feeds samples to a demodulator's block function in blocks of the given
// sizes (cycled; each 1..256) and returns the concatenated output.
template <typename State, typename BlockFunction>
std::vector<uint8_t> demodulate(State &state, BlockFunction block_function, const std::vector<float> &samples,
                                const std::vector<int> &block_sizes) {
    std::vector<uint8_t> out;
    uint8_t produced[32];
    std::size_t at = 0;
    for (std::size_t k = 0; at < samples.size(); ++k) {
        std::size_t n = static_cast<std::size_t>(block_sizes[k % block_sizes.size()]);
        if (n > samples.size() - at) n = samples.size() - at;
        int32_t got = block_function(state, samples.data() + at, static_cast<int32_t>(n), produced);
        out.insert(out.end(), produced, produced + got);
        at += n;
    }
    return out;
}
