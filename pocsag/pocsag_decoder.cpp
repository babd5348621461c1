#include "pocsag_decoder.h"

#include "bch_31_21.h"
#include "bits.h"
#include "symbol_distance.h"

const uint8_t pocsag_sync_pattern[32] = {0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 0,
                                         0, 0, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 1, 0, 0, 0};

namespace {

constexpr char ecc_failure[] = "ecc failure\n";
constexpr char parity_failure[] = "parity failure\n";

void write_fixed(const char *text, std::size_t length, FILE *stream) { std::fwrite(text, 1, length, stream); }

// The 32 bytes at the read position, as a straight buffer.
void window_at_read_position(const pagewick_state &state, uint8_t *window) { ring_copy(state.ring, 0, window, 32); }

// The batch loop, in the synchronised state. Returns when fewer than 33 bits
// are left or when synchronisation was lost.
void follow_batches(pagewick_state &state, const pocsag_sink &sink) {
    uint8_t window[32];
    while (ring_fill(state.ring) >= pagewick_consume_level) {
        window_at_read_position(state, window);
        if (state.codeword_index == 16) {
            bool sync = is_sync(window);
            ring_advance(state.ring, 32);
            if (sync) {
                state.codeword_index = 0;
                continue;
            }
            std::fprintf(sink.err, "lost sync at %i\n", state.ring.read_pos);
            message_print(state.message, sink);
            state.synchronised = false;
            return;  // the search resumes after the next block
        }
        take_codeword(state, static_cast<uint32_t>(bits_to_word(window, 32)), sink);
        ++state.codeword_index;
        ring_advance(state.ring, 32);
    }
}

// The search, one bit position at a time; on a sync codeword it goes on at
// once with the batch loop.
void search_sync(pagewick_state &state, const pocsag_sink &sink) {
    uint8_t window[32];
    while (ring_fill(state.ring) >= pagewick_consume_level) {
        window_at_read_position(state, window);
        if (is_sync(window)) {
            std::fprintf(sink.err, "found sync at %i\n", state.ring.read_pos);
            ring_advance(state.ring, 32);
            state.codeword_index = 0;
            state.synchronised = true;
            follow_batches(state, sink);
            return;
        }
        ring_advance(state.ring, 1);
    }
}

// 21-bit address: the 18 address bits times 8 plus the frame number.
int32_t address_of(uint32_t codeword, int32_t codeword_index) {
    return static_cast<int32_t>(((codeword >> 13) & 0x3FFFFu) << 3) + codeword_index / 2;
}

}  // namespace

bool is_sync(const uint8_t *bytes32) { return symbol_distance(bytes32, pocsag_sync_pattern, 32) < sync_distance_limit; }

void take_codeword(pagewick_state &state, uint32_t codeword, const pocsag_sink &sink) {
    uint32_t word = codeword >> 1;
    uint32_t parity_bit = codeword & 1u;
    if (!bch_correct(word)) {
        write_fixed(ecc_failure, sizeof ecc_failure - 1, sink.err);
        message_discard(state.message);
        return;
    }
    // The parity bit is checked against the corrected bits, never corrected.
    uint32_t corrected = (word << 1) | parity_bit;
    if (!has_even_parity(corrected)) {
        write_fixed(parity_failure, sizeof parity_failure - 1, sink.err);
        message_discard(state.message);
        return;
    }
    if (corrected == pocsag_idle_codeword) {
        if (message_has_content(state.message)) message_print(state.message, sink);
        return;
    }
    if (corrected & 0x80000000u) {
        message_append(state.message, (corrected >> 11) & 0xFFFFFu, sink);
        return;
    }
    message_print(state.message, sink);
    message_start(state.message, address_of(corrected, state.codeword_index), static_cast<int>((corrected >> 11) & 3u),
                  sink);
}

void pagewick_process(pagewick_state &state, const uint8_t *bytes, std::size_t count, const pocsag_sink &sink) {
    while (count > 0) {
        int32_t n =
            count < static_cast<std::size_t>(pagewick_block_size) ? static_cast<int32_t>(count) : pagewick_block_size;
        ring_append(state.ring, bytes, n);
        if (state.synchronised)
            follow_batches(state, sink);
        else
            search_sync(state, sink);
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}
