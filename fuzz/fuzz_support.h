// SPDX-License-Identifier: MIT
#pragma once
// Support for the harnesses: an in-memory output stream that each input
// starts empty, and a sink for the text no harness looks at.

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Whether text is well-formed UTF-8 (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF), written apart from the code it checks.
// Each code point is given to visit, if any.
template <typename Visit>
bool valid_utf8(std::string_view text, Visit visit) {
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
        const unsigned char lead = byte(0);
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || at + length > text.size()) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(k) & 0xC0) != 0x80) return false;
            code = (code << 6) | (byte(k) & 0x3Fu);
        }
        static constexpr uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        visit(code);
        at += length;
    }
    return true;
}

inline bool valid_utf8(std::string_view text) {
    return valid_utf8(text, [](uint32_t) {});
}

// Whether text holds a C0 control or DEL.
inline bool has_control_byte(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
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
