// SPDX-License-Identifier: MIT
#pragma once
// Test helpers: run the decoder in-process on a bit stream with its output
// captured in memory, and build bit streams from codewords.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "pocsag_decoder.h"
#include "pocsag_encode.h"

// Captures everything written to a FILE * in memory.
struct captured_stream {
    char *buffer = nullptr;
    std::size_t length = 0;
    FILE *stream = open_memstream(&buffer, &length);
    captured_stream() = default;
    captured_stream(const captured_stream &) = delete;
    captured_stream &operator=(const captured_stream &) = delete;
    ~captured_stream() {
        if (stream) std::fclose(stream);
        std::free(buffer);
    }
    std::string text() {
        std::fflush(stream);
        return std::string(buffer, length);
    }
};

// The decoder with its page lines and diagnostics captured.
struct decoder_run {
    pagewick_state state;
    captured_stream out, err;
    pocsag_sink sink{out.stream, err.stream, nullptr};

    // Feeds bytes in pieces of chunk bytes.
    void feed(const std::vector<uint8_t> &bytes, std::size_t chunk = pagewick_block_size) {
        for (std::size_t i = 0; i < bytes.size(); i += chunk)
            pagewick_process(state, bytes.data() + i, std::min(chunk, bytes.size() - i), sink);
    }
};

struct decoded {
    std::string out, err;
};

// The stream loop alone: what the decoder writes while input keeps coming.
inline decoded decode(const std::vector<uint8_t> &bytes, std::size_t chunk = pagewick_block_size) {
    auto run = std::make_unique<decoder_run>();
    run->feed(bytes, chunk);
    return {run->out.text(), run->err.text()};
}

// The whole run, as pagewick makes it: the stream loop, then the end of
// input. With function_key the lines carry "function:N;".
inline decoded decode_to_end(const std::vector<uint8_t> &bytes, bool function_key = false) {
    auto run = std::make_unique<decoder_run>();
    run->sink.function_key = function_key;
    run->feed(bytes);
    pagewick_finish(run->state, run->sink);
    return {run->out.text(), run->err.text()};
}

// Batches of the given codewords behind a short preamble, then one more bit
// so that the last codeword is decoded.
inline std::vector<uint8_t> stream_of(const std::vector<uint32_t> &codewords, int preamble_bits = 64) {
    std::vector<uint8_t> bits = pocsag_batch_bits(codewords, preamble_bits);
    bits.push_back(0);
    return bits;
}
