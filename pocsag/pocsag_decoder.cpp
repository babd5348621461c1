// SPDX-License-Identifier: MIT
#include "pocsag_decoder.h"

#include <algorithm>
#include <bit>

#include "bch_31_21.h"
#include "bits.h"
#include "page_filter.h"
#include "symbol_distance.h"

const uint8_t pocsag_sync_pattern[32] = {0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 0,
                                         0, 0, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 1, 0, 0, 0};

namespace {

constexpr char ecc_failure[] = "ecc failure\n";
constexpr char parity_failure[] = "parity failure\n";

void write_fixed(const char *text, std::size_t length, FILE *stream) { std::fwrite(text, 1, length, stream); }

// The 32 bytes at the read position, as a straight buffer.
void window_at_read_position(const pagewick_state &state, uint8_t *window) { ring_copy(state.ring, 0, window, 32); }

// Bits of a batch: its sync codeword and 16 codewords.
constexpr int32_t batch_bits = 17 * 32;

// Moves the read position on, counting the bits since the last sync
// codeword and the last preamble (up to a limit far beyond any batch).
void advance(pagewick_state &state, int32_t bits) {
    ring_advance(state.ring, bits);
    if (state.bits_since_sync < (1 << 30)) state.bits_since_sync += bits;
    if (state.bits_since_preamble < (1 << 30)) state.bits_since_preamble += bits;
}

// A new batch: its codewords have not failed yet.
void start_batch(pagewick_state &state) {
    state.failure_run = 0;
    state.batch_misaligned = false;
}

// A codeword that failed correction or parity.
void note_failure(pagewick_state &state) {
    if (state.failure_run < 255) ++state.failure_run;
    if (state.failure_run >= page_misaligned_run) state.batch_misaligned = true;
}

// True if since lies within tolerance bits of a whole number of batches, 0
// to 4 of them.
bool on_grid(int32_t since, int32_t tolerance) {
    if (since < -tolerance || since > 4 * batch_bits + tolerance) return false;
    const int32_t offset = ring_mod(since, batch_bits);
    return offset <= tolerance || offset >= batch_bits - tolerance;
}

// Wrong bits of the bits just before the read position against a preamble.
int preamble_errors_before(const pagewick_state &state) {
    uint8_t bits[page_preamble_bits];
    ring_copy(state.ring, -page_preamble_bits, bits, page_preamble_bits);
    return preamble_errors(bits);
}

// 1 if the bit at offset from the read position breaks the alternation of a
// preamble in the phase with bit 1 at even ring positions, else 0.
int off_alternation(const pagewick_state &state, int32_t offset) {
    const int32_t position = ring_mod(state.ring.read_pos + offset, state.ring.size);
    return (ring_at(state.ring, offset) != 0) != (position % 2 == 0);
}

// True if the sync codeword found at the read position belongs to a
// transmission under way: right after a preamble, or on the batch grid of
// the last sync codeword (within a bit: a batch sync in between was
// damaged) or of the last preamble's end (the first sync codewords were
// missed; the end is known to within page_preamble_grid_tolerance bits).
bool sync_in_context(const pagewick_state &state) {
    return preamble_errors_before(state) <= page_preamble_error_limit ||
           (state.bits_since_sync > 0 && on_grid(state.bits_since_sync, 1)) ||
           on_grid(state.bits_since_preamble, page_preamble_grid_tolerance);
}

// Wrong bits of the 32 bytes against the sync pattern.
int sync_errors(const uint8_t *window) { return symbol_distance(window, pocsag_sync_pattern, 32); }

// The batch loop, in the synchronised state, while at least `level` bits are
// in the ring. Returns when fewer are left or when synchronisation was lost.
void follow_batches(pagewick_state &state, const pocsag_sink &sink, int32_t level = pagewick_consume_level) {
    uint8_t window[32];
    while (ring_fill(state.ring) >= level) {
        window_at_read_position(state, window);
        if (state.codeword_index == 16) {
            const int errors = sync_errors(window);
            advance(state, 32);
            if (errors < sync_distance_limit) {
                state.codeword_index = 0;
                start_batch(state);
                state.sync_errors = static_cast<uint8_t>(errors);
                state.sync_confirmed = true;
                state.bits_since_sync = 32;
                continue;
            }
            std::fprintf(sink.err, "lost sync at %i\n", state.ring.read_pos);
            state.message.end = page_end_lost_sync;
            message_print(state.message, sink);
            state.synchronised = false;
            return;  // the search resumes after the next block
        }
        take_codeword(state, static_cast<uint32_t>(bits_to_word(window, 32)), sink);
        ++state.codeword_index;
        advance(state, 32);
    }
}

// The search, one bit position at a time; on a sync codeword it goes on at
// once with the batch loop.
void search_sync(pagewick_state &state, const pocsag_sink &sink) {
    uint8_t window[32];
    // Bits before the read position that break the alternation, kept up to
    // date bit by bit: a preamble marks where a transmission's batches begin.
    int off = 0;
    for (int32_t i = -page_preamble_bits; i < 0; ++i) off += off_alternation(state, i);
    while (ring_fill(state.ring) >= pagewick_consume_level) {
        if (std::min(off, page_preamble_bits - off) <= page_preamble_anchor_limit) state.bits_since_preamble = 0;
        window_at_read_position(state, window);
        const int errors = sync_errors(window);
        if (errors < sync_distance_limit) {
            std::fprintf(sink.err, "found sync at %i\n", state.ring.read_pos);
            state.sync_confirmed = sync_in_context(state);
            state.sync_errors = static_cast<uint8_t>(errors);
            state.bits_since_sync = 0;
            advance(state, 32);
            state.codeword_index = 0;
            start_batch(state);
            state.synchronised = true;
            follow_batches(state, sink);
            return;
        }
        off += off_alternation(state, 0) - off_alternation(state, -page_preamble_bits);
        advance(state, 1);
    }
}

// Notes one more codeword of the current message and the bits its
// correction flipped (two at most), up to a count no page reaches.
void count_codeword(pocsag_message &message, uint16_t flipped) {
    if (!message.present || message.codewords >= 30000) return;
    if (message.codewords > 0 && flipped == 0 && message.clean_codewords_after < 255) ++message.clean_codewords_after;
    ++message.codewords;
    message.corrected_bits = static_cast<uint16_t>(message.corrected_bits + flipped);
}

// 21-bit address: the 18 address bits times 8 plus the frame number.
int32_t address_of(uint32_t codeword, int32_t codeword_index) {
    return static_cast<int32_t>(((codeword >> 13) & 0x3FFFFu) << 3) + codeword_index / 2;
}

}  // namespace

bool is_sync(const uint8_t *bytes32) { return symbol_distance(bytes32, pocsag_sync_pattern, 32) < sync_distance_limit; }

void take_codeword(pagewick_state &state, uint32_t codeword, const pocsag_sink &sink) {
    uint32_t word = codeword >> 1;
    const uint32_t parity_bit = codeword & 1u;
    if (!bch_correct(word)) {
        state.previous_zero = false;
        write_fixed(ecc_failure, sizeof ecc_failure - 1, sink.err);
        note_failure(state);
        message_discard(state.message);
        return;
    }
    // The parity bit is checked against the corrected bits, never corrected.
    uint32_t corrected = (word << 1) | parity_bit;
    if (!has_even_parity(corrected)) {
        state.previous_zero = false;
        write_fixed(parity_failure, sizeof parity_failure - 1, sink.err);
        note_failure(state);
        message_discard(state.message);
        return;
    }
    const auto flipped = static_cast<uint16_t>(std::popcount(corrected ^ codeword));
    state.failure_run = 0;
    // The sync codeword reads as an address codeword with function bits 2;
    // in a codeword slot it is a transmitter's stray sync, not a page, and
    // counts as idle.
    // A carrier held at the level of bit 0 (a transmitter keyed without
    // data, a recording's digital silence) gives a run of all-zero
    // codewords, each of which reads as a tone page to an address of 0 to 7
    // (function 0). A single one is such a page; a second in a row shows the
    // held carrier: the tone page the first one opened is dropped, and the
    // run opens none.
    const bool zero = corrected == 0u;
    const bool held = zero && state.previous_zero;
    state.previous_zero = zero;
    if (held) {
        if (state.zero_page && !message_has_content(state.message)) message_discard(state.message);
        state.zero_page = false;
        return;
    }
    if (corrected == pocsag_idle_codeword || corrected == pocsag_sync_codeword) {
        // Idle codewords after the address are part of the page's evidence.
        count_codeword(state.message, flipped);
        if (message_has_content(state.message)) {
            state.message.end = page_end_idle;
            message_print(state.message, sink);
        }
        return;
    }
    if (corrected & 0x80000000u) {
        message_append(state.message, (corrected >> 11) & 0xFFFFFu, sink);
        count_codeword(state.message, flipped);
        return;
    }
    // The address codeword that ends the page is evidence for it too.
    if (state.message.present && flipped == 0 && state.message.clean_codewords_after < 255)
        ++state.message.clean_codewords_after;
    state.message.end = page_end_address;
    message_print(state.message, sink);
    message_start(state.message, address_of(corrected, state.codeword_index), static_cast<int>((corrected >> 11) & 3u),
                  sink);
    state.zero_page = zero;
    state.message.sync_errors = state.sync_errors;
    state.message.sync_confirmed = state.sync_confirmed;
    state.message.address_flips = static_cast<uint8_t>(flipped);
    state.message.after_misaligned_run = state.batch_misaligned;
    count_codeword(state.message, flipped);
}

void pagewick_finish(pagewick_state &state, const pocsag_sink &sink) {
    // The codewords still waiting for a bit after them are complete now.
    if (state.synchronised) follow_batches(state, sink, 32);
    state.message.end = page_end_input;
    message_print(state.message, sink);
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
