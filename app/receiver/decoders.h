// SPDX-License-Identifier: MIT
#pragma once
// The receiving programs' decoders run inside zelvane: each demodulator and
// decoder is the program's own library state, fed the same blocks its
// program would read from a pipe (whole blocks of its read size), with its
// output streams bound to capture streams. What each writes reaches a
// function here at once, while the input sample that made the decoder write
// it is known.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "duolock.h"
#include "duoslice.h"
#include "orbavox.h"
#include "pocsag_decoder.h"
#include "quadlock.h"
#include "quadslice.h"
#include "tessavox_state.h"

// Receives what a decoder writes: one metadata line or page line (without
// its newline), or one voice unit (DMR: three 12-byte AMBE frames; System
// Fusion: one tagged codec frame record).
struct decoder_reports {
    virtual ~decoder_reports() = default;
    virtual void line(int decoder, const char *text, size_t size) = 0;
    virtual void voice(int decoder, const uint8_t *unit, size_t size) = 0;
};

// A stream that gathers what a decoder writes and hands each whole line or
// unit to reports.
struct capture_binding {
    decoder_reports *reports = nullptr;
    int decoder = 0;
    bool lines = true;  // split at newlines (metadata, pages); else whole flushes (voice)
    std::vector<char> partial;
    FILE *stream = nullptr;
};

// Binds binding.stream to a capture stream. with_output false gives a stream
// that drops everything (diagnostics, or voice nobody listens to).
bool open_binding(capture_binding &binding, decoder_reports *reports, int decoder, bool lines, bool with_output);
void close_binding(capture_binding &binding);

// Four-level demodulator of one polarity: quadlock, or the exact slicer
// quadslice (which has no inversion: its input is negated instead). Both
// read blocks of 256 samples.
inline constexpr int32_t demodulator_block = 256;
static_assert(quadlock_block_size == demodulator_block && quadslice_block_size == demodulator_block &&
              duolock_block_size == demodulator_block && duoslice_block_size == demodulator_block);
inline constexpr int32_t symbols_per_block_limit =
    quadlock_max_symbols > quadslice_max_symbols ? quadlock_max_symbols : quadslice_max_symbols;
inline constexpr int32_t bits_per_block_limit = duolock_max_bits > duoslice_max_bits ? duolock_max_bits : duoslice_max_bits;

struct symbol_demodulator {
    bool exact = false;
    bool negate = false;
    std::unique_ptr<quadlock_state> lock;
    std::unique_ptr<quadslice_state> slice;
};

void symbol_demodulator_init(symbol_demodulator &d, bool exact, bool inverted);
// One block of count samples (at most demodulator_block); returns the
// symbols written to out (room for symbols_per_block_limit).
int32_t symbol_demodulator_block(symbol_demodulator &d, const float *block, int32_t count, uint8_t *out);

// Two-level demodulator of one rate and polarity: duolock at 48000/s, or
// duoslice (40 samples a bit) on a stream resampled for its rate.
struct bit_demodulator {
    bool exact = false;
    std::unique_ptr<duolock_state> lock;
    std::unique_ptr<duoslice_state> slice;
};

void bit_demodulator_init(bit_demodulator &d, bool exact, int baud, bool inverted);
int32_t bit_demodulator_block(bit_demodulator &d, const float *block, int32_t count, uint8_t *bits);

// The DMR decoder tessavox, with its three streams bound to captures.
struct dmr_decoder {
    std::unique_ptr<tessavox_state> state;
    capture_binding voice, diagnostics, meta;
};

bool dmr_decoder_init(dmr_decoder &d, decoder_reports *reports, int id, bool speech, int slot_only);
void dmr_decoder_block(dmr_decoder &d, const uint8_t *symbols, size_t count);
void dmr_decoder_close(dmr_decoder &d);

// The System Fusion decoder orbavox, bound likewise.
struct ysf_decoder {
    std::unique_ptr<orbavox_state> state;
    orbavox_streams streams;
    capture_binding voice, diagnostics, meta;
};

bool ysf_decoder_init(ysf_decoder &d, decoder_reports *reports, int id, bool speech);
void ysf_decoder_block(ysf_decoder &d, const uint8_t *symbols, size_t count);
// The end of input: the frames that waited for the symbols after them.
void ysf_decoder_finish(ysf_decoder &d);
void ysf_decoder_close(ysf_decoder &d);

// The POCSAG decoder pagewick (reporting each page's function, as -F does).
struct page_decoder {
    std::unique_ptr<pagewick_state> state;
    pocsag_sink sink;
    capture_binding pages, diagnostics;
};

bool page_decoder_init(page_decoder &d, decoder_reports *reports, int id);
void page_decoder_block(page_decoder &d, const uint8_t *bits, size_t count);
void page_decoder_finish(page_decoder &d);
void page_decoder_close(page_decoder &d);

