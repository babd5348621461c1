// SPDX-License-Identifier: MIT
#pragma once
// Support for the harnesses: an in-memory output stream that each input
// starts empty, and a sink for the text no harness looks at.

#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

// A stream whose bytes the harness reads back after the input: opened per
// input, closed and freed by the destructor.
struct memory_stream {
    char *data = nullptr;
    std::size_t size = 0;
    FILE *file = open_memstream(&data, &size);

    memory_stream() = default;
    memory_stream(const memory_stream &) = delete;
    memory_stream &operator=(const memory_stream &) = delete;
    ~memory_stream() {
        std::fclose(file);
        std::free(data);
    }
    std::string_view bytes() {
        std::fflush(file);
        return std::string_view(data, size);
    }
};

// /dev/null, opened once for the whole fuzzing run.
inline FILE *null_stream() {
    static FILE *sink = std::fopen("/dev/null", "w");
    return sink;
}

// Stops the run with a report that the fuzzer records as a finding.
[[noreturn]] inline void fuzz_fail(const char *what) {
    std::fprintf(stderr, "harness check failed: %s\n", what);
    std::abort();
}

// One input for a sample filter that carries its state from block to block:
// the first byte picks the read size (1..256 samples), the rest are float
// samples (NaN, infinities and subnormals included). The output may not depend
// on how the input is cut into blocks: the same samples in one piece must give
// the same bytes.
template <typename State, void (*Filter)(State &, float *, std::size_t)>
int fuzz_block_split_filter(const uint8_t *data, std::size_t size) {
    constexpr std::size_t block_limit = 256;
    if (size == 0) return 0;
    const std::size_t block_samples = data[0] % block_limit + 1u;
    ++data;
    --size;
    const std::size_t samples = size / sizeof(float);

    std::vector<float> blocks(samples);
    if (samples > 0) std::memcpy(blocks.data(), data, samples * sizeof(float));
    std::vector<float> whole = blocks;

    static State state;
    state = State{};
    for (std::size_t at = 0; at < samples; at += block_samples) {
        const std::size_t n = samples - at < block_samples ? samples - at : block_samples;
        Filter(state, blocks.data() + at, n);
    }
    static State whole_state;
    whole_state = State{};
    Filter(whole_state, whole.data(), whole.size());
    if (samples > 0 && std::memcmp(blocks.data(), whole.data(), samples * sizeof(float)) != 0)
        fuzz_fail("output depends on the block size");
    return 0;
}
