// SPDX-License-Identifier: MIT
#pragma once
// Test support: a fresh decoder state whose voice, diagnostics and metadata
// go to memory, and symbol streams built by the fixture encoders.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bits.h"
#include "burst_framing.h"
#include "dmr_encode.h"

struct decoder_fixture {
    tessavox_state state;

    decoder_fixture() {
        out = open_memstream(&out_data, &out_size);
        err = open_memstream(&err_data, &err_size);
        meta = open_memstream(&meta_data, &meta_size);
        state.out = out;
        state.err = err;
        state.meta.stream = meta;
    }
    ~decoder_fixture() {
        std::fclose(out);
        std::fclose(err);
        std::fclose(meta);
        std::free(out_data);
        std::free(err_data);
        std::free(meta_data);
    }
    decoder_fixture(const decoder_fixture &) = delete;
    decoder_fixture &operator=(const decoder_fixture &) = delete;

    // Feeds symbols in blocks of block_size, as main does.
    void feed(const std::vector<uint8_t> &symbols, std::size_t block_size = tessavox_block_size) {
        for (std::size_t i = 0; i < symbols.size(); i += block_size) {
            std::size_t n = symbols.size() - i < block_size ? symbols.size() - i : block_size;
            process_input_block(state, symbols.data() + i, n);
        }
    }

    std::string voice() { return text(out, out_data, out_size); }
    std::string diagnostics() { return text(err, err_data, err_size); }
    std::string metadata() { return text(meta, meta_data, meta_size); }

   private:
    static std::string text(FILE *f, char *&data, std::size_t &size) {
        std::fflush(f);
        return std::string(data, size);
    }
    FILE *out, *err, *meta;
    char *out_data = nullptr, *err_data = nullptr, *meta_data = nullptr;
    std::size_t out_size = 0, err_size = 0, meta_size = 0;
};

// The bytes of codec frames as the decoder writes them.
inline std::string frame_bytes(const std::vector<dmr_encode::codec_frame> &frames, std::size_t first = 0,
                               std::size_t count = std::string::npos) {
    std::string s;
    for (std::size_t i = first; i < frames.size() && i - first < count; ++i)
        s.append(reinterpret_cast<const char *>(frames[i].data()), frames[i].size());
    return s;
}

// A channel of two slot lists (channel_symbols, beginning with slot 0) and
// one more timeslot, so that the decoder, which needs the symbols after a
// burst's end before it takes the burst, processes every listed burst.
inline std::vector<uint8_t> complete_channel(const std::vector<dmr_encode::burst> &slot0,
                                             const std::vector<dmr_encode::burst> &slot1) {
    using namespace dmr_encode;
    std::vector<uint8_t> s = channel_symbols(slot0, slot1);
    append_timeslot(s, tact_word(0, 0, 0), 0, idle_burst(burst_sync::bs_data, 1));
    return s;
}

// Symbols of a 48-bit sync word.
inline std::vector<uint8_t> sync_symbols_of(uint64_t word) {
    std::vector<uint8_t> s(24);
    word_to_symbols(word, 24, s.data());
    return s;
}
