// SPDX-License-Identifier: MIT
#include "decoders.h"

#include "burst_framing.h"
#include "capture_stream.h"

namespace {

// What a capture stream hands over: split into lines for line outputs, as
// flushed for voice units (each unit is flushed on its own).
void take_capture(void *context, const char *data, size_t size) {
    auto &b = *static_cast<capture_binding *>(context);
    if (!b.reports) return;
    if (!b.lines) {
        b.reports->voice(b.decoder, reinterpret_cast<const uint8_t *>(data), size);
        return;
    }
    for (size_t n = 0; n < size; ++n) {
        if (data[n] != '\n') {
            // A line longer than any decoder writes is garbage: dropped.
            if (b.partial.size() < 4096) b.partial.push_back(data[n]);
            continue;
        }
        b.reports->line(b.decoder, b.partial.data(), b.partial.size());
        b.partial.clear();
    }
}

}  // namespace

bool open_binding(capture_binding &binding, decoder_reports *reports, int decoder, bool lines, bool with_output) {
    binding.reports = with_output ? reports : nullptr;
    binding.decoder = decoder;
    binding.lines = lines;
    binding.stream = open_capture_stream(with_output ? take_capture : nullptr, &binding);
    return binding.stream != nullptr;
}

void close_binding(capture_binding &binding) {
    if (binding.stream) std::fclose(binding.stream);
    binding.stream = nullptr;
}

void symbol_demodulator_init(symbol_demodulator &d, bool exact, bool inverted) {
    d.exact = exact;
    d.negate = exact && inverted;
    if (exact) {
        d.slice = std::make_unique<quadslice_state>();
    } else {
        d.lock = std::make_unique<quadlock_state>();
        d.lock->invert = inverted;
    }
}

int32_t symbol_demodulator_block(symbol_demodulator &d, const float *block, int32_t count, uint8_t *out) {
    if (!d.exact) return quadlock_block(*d.lock, block, count, out);
    if (!d.negate) return quadslice_block(*d.slice, block, count, out);
    float negated[demodulator_block];
    for (int32_t n = 0; n < count; ++n) negated[n] = -block[n];
    return quadslice_block(*d.slice, negated, count, out);
}

void bit_demodulator_init(bit_demodulator &d, bool exact, int baud, bool inverted) {
    d.exact = exact;
    if (exact) {
        d.slice = std::make_unique<duoslice_state>();
        d.slice->invert = inverted;
    } else {
        d.lock = std::make_unique<duolock_state>();
        duolock_set_rate(*d.lock, baud);
        d.lock->invert = inverted;
    }
}

int32_t bit_demodulator_block(bit_demodulator &d, const float *block, int32_t count, uint8_t *bits) {
    return d.exact ? duoslice_block(*d.slice, block, count, bits) : duolock_block(*d.lock, block, count, bits);
}

bool dmr_decoder_init(dmr_decoder &d, decoder_reports *reports, int id, bool speech, int slot_only) {
    d.state = std::make_unique<tessavox_state>();
    if (!open_binding(d.voice, reports, id, false, speech) || !open_binding(d.diagnostics, reports, id, true, false) ||
        !open_binding(d.meta, reports, id, true, true))
        return false;
    d.state->out = d.voice.stream;
    d.state->err = d.diagnostics.stream;
    d.state->meta.stream = d.meta.stream;
    // The slot filter of the control fifo's "1" and "2": one slot's voice.
    if (slot_only >= 0) d.state->slot_filter = static_cast<uint8_t>(slot_only + 1);
    return true;
}

void dmr_decoder_block(dmr_decoder &d, const uint8_t *symbols, size_t count) {
    process_input_block(*d.state, symbols, count);
}

void dmr_decoder_close(dmr_decoder &d) {
    close_binding(d.voice);
    close_binding(d.diagnostics);
    close_binding(d.meta);
}

bool ysf_decoder_init(ysf_decoder &d, decoder_reports *reports, int id, bool speech) {
    d.state = std::make_unique<orbavox_state>();
    if (!open_binding(d.voice, reports, id, false, speech) || !open_binding(d.diagnostics, reports, id, true, false) ||
        !open_binding(d.meta, reports, id, true, true))
        return false;
    d.streams.out = d.voice.stream;
    d.streams.err = d.diagnostics.stream;
    d.streams.fifo.stream = d.meta.stream;
    return true;
}

void ysf_decoder_block(ysf_decoder &d, const uint8_t *symbols, size_t count) {
    orbavox_process_block(*d.state, symbols, count, d.streams);
}

void ysf_decoder_finish(ysf_decoder &d) { orbavox_finish(*d.state, d.streams); }

void ysf_decoder_close(ysf_decoder &d) {
    close_binding(d.voice);
    close_binding(d.diagnostics);
    close_binding(d.meta);
}

bool page_decoder_init(page_decoder &d, decoder_reports *reports, int id) {
    d.state = std::make_unique<pagewick_state>();
    if (!open_binding(d.pages, reports, id, true, true) || !open_binding(d.diagnostics, reports, id, true, false))
        return false;
    d.sink.out = d.pages.stream;
    d.sink.err = d.diagnostics.stream;
    d.sink.function_key = true;
    return true;
}

void page_decoder_block(page_decoder &d, const uint8_t *bits, size_t count) {
    pagewick_process(*d.state, bits, count, d.sink);
}

void page_decoder_finish(page_decoder &d) { pagewick_finish(*d.state, d.sink); }

void page_decoder_close(page_decoder &d) {
    close_binding(d.pages);
    close_binding(d.diagnostics);
}
