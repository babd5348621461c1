// SPDX-License-Identifier: MIT
#include "receiver.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "call_tracker.h"
#include "decoders.h"
#include "dmr_lines.h"
#include "page_merge.h"
#include "resampler.h"
#include "speech_band.h"
#include "voxloom.h"

namespace {

constexpr double channel_rate = 48000.0;
constexpr size_t decoder_block = 128;  // tessavox, orbavox and pagewick read 128 bytes at a time
static_assert(tessavox_block_size == 128 && orbavox_block_symbols == 128 && pagewick_block_size == 128);

// Voice units that may wait for their call to validate: 3 s (DMR: 60 ms a
// unit; System Fusion: 20 ms a record).
constexpr size_t dmr_pending_units = 50;
constexpr size_t ysf_pending_units = 150;

// The speech of one decoder's slot: voxloom's state (the vocoder's memory),
// the band-pass, and the voice units waiting for the call to validate.
struct speech_path {
    std::unique_ptr<voxloom_state> vocoder;
    speech_band_state band;
    std::deque<std::vector<uint8_t>> pending;
};

// One tracker of a decoder: a DMR slot, or the System Fusion channel.
struct tracked_call {
    call_tracker tracker;
    bool shown = false;  // this polarity's call is the one reported
    uint64_t call_id = 0;
    speech_path speech;
};

struct voice_decoder {
    event_protocol protocol = event_protocol::dmr;
    // The decoder that reports what the channel carries besides calls
    // (CSBKs, data, presence): one per polarity, though speech runs one per slot.
    bool reports_channel = false;
    dmr_decoder dmr;
    ysf_decoder ysf;
    std::vector<tracked_call> calls;  // DMR: one per slot it follows; System Fusion: one
};

// One polarity's four-level demodulator and the decoders it feeds.
struct voice_path {
    bool inverted = false;
    symbol_demodulator demod;
    std::vector<uint8_t> symbols;  // not yet a whole decoder block
    std::vector<std::unique_ptr<voice_decoder>> decoders;
};

// The sample streams the POCSAG demodulators read: 48000/s, or for the exact
// slicer (40 samples a bit) 20480/s at 512 bits/s and 96000/s at 2400.
struct bit_stream {
    double rate = channel_rate;
    stream_resampler resampler;  // from 48000/s; unused for 48000
    std::vector<float> block;    // samples short of a demodulator block
    long long samples = 0;       // samples of this stream taken by the demodulators
};

struct page_path {
    int baud = 1200;
    bool inverted = false;
    int stream = 0;  // index into bit_streams
    bit_demodulator demod;
    std::vector<uint8_t> bits;
    page_decoder decoder;
};

struct decoder_ref {
    voice_path *voice = nullptr;
    voice_decoder *decoder = nullptr;
    page_path *page = nullptr;
    std::string name;  // for the tap
};

}  // namespace

// What is known of the channel's DMR signal, from the presence lines of
// either polarity, and the last CSBK of each slot (a control channel sends
// the same many times a second: one event until it changes).
struct presence_candidate {
    std::string type;
    long cc = -1;
    int count = 0;  // lines running that agreed on it
};

struct dmr_presence {
    bool present = false;
    const voice_path *owner = nullptr;  // the polarity whose decoder found the signal
    presence_candidate candidates[2];   // per polarity: normal, inverted
    std::string source_type;  // "BS" or "MS"
    long color_code = -1;
    std::string carries[2];
    long long data_failures = 0;
    std::string last_csbk[2];
    double last_csbk_time[2] = {-1e9, -1e9};
};

// A CSBK repeated after this long without one is reported again.
constexpr double csbk_repeat_seconds = 5.0;

struct receiver_state : decoder_reports {
    receiver_settings settings;
    dmr_presence dmr;
    bool ysf_present = false;
    uint64_t *next_call_id = nullptr;
    std::vector<receiver_item> *items = nullptr;
    std::string error;

    std::vector<float> block;  // 48000/s samples short of a demodulator block
    long long samples = 0;     // 48000/s samples taken by the demodulators
    double now = 0;            // time of the block being decoded

    std::vector<std::unique_ptr<voice_path>> voices;
    std::vector<bit_stream> streams;
    std::vector<std::unique_ptr<page_path>> pages;
    std::vector<decoder_ref> refs;  // by decoder id

    void line(int decoder, const char *text, size_t size) override;
    void voice(int decoder, const uint8_t *unit, size_t size) override;

    void emit(event e) {
        e.frequency = settings.frequency;
        receiver_item item;
        item.time = e.time;
        item.report = std::move(e);
        items->push_back(std::move(item));
    }

    void emit_speech(uint64_t call_id, std::vector<int16_t> samples) {
        receiver_item item;
        item.time = now;
        item.is_speech = true;
        item.call_id = call_id;
        item.speech = std::move(samples);
        items->push_back(std::move(item));
    }
};

namespace {

bool other_polarity_shows(const receiver_state &r, const voice_path &mine, event_protocol protocol, int slot) {
    for (const auto &v : r.voices) {
        if (v.get() == &mine) continue;
        for (const auto &d : v->decoders)
            for (const tracked_call &c : d->calls)
                if (d->protocol == protocol && c.tracker.slot == slot && c.shown) return true;
    }
    return false;
}

// Synthesises one voice unit of a shown call into its speech.
void speak(receiver_state &r, voice_decoder &d, tracked_call &call, const std::vector<uint8_t> &unit) {
    speech_path &s = call.speech;
    if (!s.vocoder) {
        s.vocoder = std::make_unique<voxloom_state>();
        voxloom_settings settings;
        settings.tagged_input = d.protocol == event_protocol::ysf;
        voxloom_start(*s.vocoder, settings);
    }
    std::vector<int16_t> samples;
    auto frame = [&](int mode, const uint8_t *bytes, size_t size) {
        voxloom_synthesise(*s.vocoder, mode, bytes, size);
        int16_t out[vocoder_frame_samples];
        for (int n = 0; n < vocoder_frame_samples; ++n) out[n] = s.vocoder->samples[n];
        speech_band_filter_int16(s.band, out, vocoder_frame_samples);
        samples.insert(samples.end(), out, out + vocoder_frame_samples);
    };
    if (d.protocol == event_protocol::dmr) {
        for (size_t k = 0; k + ambe_frame_bytes <= unit.size(); k += ambe_frame_bytes)
            frame(codec_mode_ambe, unit.data() + k, ambe_frame_bytes);
    } else if (!unit.empty()) {
        frame(unit[0], unit.data() + 1, unit.size() - 1);
    }
    r.emit_speech(call.call_id, std::move(samples));
}

// Shows or suppresses one event of a tracker (see the header).
void present(receiver_state &r, voice_path &v, voice_decoder &d, tracked_call &call, event e) {
    // Encrypted speech is noise to a vocoder: none is made, and the event says so.
    if (r.settings.speech && e.encrypted) add_text(e, "speech", "withheld: encrypted");
    if (e.kind == event_kind::call) {
        bool starts = false;
        if (!call.shown) {
            if (other_polarity_shows(r, v, d.protocol, call.tracker.slot)) return;
            call.shown = true;
            call.call_id = ++*r.next_call_id;
            starts = true;
        }
        e.call_id = call.call_id;
        r.emit(std::move(e));
        if (starts) {
            // Each call is spoken from a fresh vocoder and band-pass, so that
            // nothing of the call before rings into its file.
            call.speech.vocoder.reset();
            call.speech.band = speech_band_state{};
            while (!call.speech.pending.empty()) {
                speak(r, d, call, call.speech.pending.front());
                call.speech.pending.pop_front();
            }
        }
        return;
    }
    if (!call.shown) return;
    call.shown = false;
    e.call_id = call.call_id;
    r.emit(std::move(e));
    call.speech.pending.clear();
}

void track(receiver_state &r, voice_path &v, voice_decoder &d, std::string_view line) {
    for (tracked_call &call : d.calls)
        for (event &e : track_line(call.tracker, line, r.now)) present(r, v, d, call, std::move(e));
}

void check_silence(receiver_state &r, bool force) {
    for (auto &v : r.voices)
        for (auto &d : v->decoders)
            for (tracked_call &call : d->calls)
                for (event &e : track_time(call.tracker, r.now, force)) present(r, *v, *d, call, std::move(e));
}

// Whole decoder blocks of what the demodulator gave, as the decoder's
// program would read them; at the end of input (last) the rest as well.
template <typename Feed>
void feed_blocks(std::vector<uint8_t> &queue, bool last, Feed &&feed) {
    size_t at = 0;
    while (queue.size() - at >= decoder_block) {
        feed(queue.data() + at, decoder_block);
        at += decoder_block;
    }
    if (last && queue.size() > at) {
        feed(queue.data() + at, queue.size() - at);
        at = queue.size();
    }
    queue.erase(queue.begin(), queue.begin() + static_cast<long>(at));
}

// The decoders send a line only when what they know changes: a long call
// with nothing new says nothing between its header and its terminator. A
// call stays alive while its decoder follows it: a DMR slot in voice mode on
// a synchronised channel, a System Fusion decoder in sync.
void keep_alive(voice_decoder &d, double now) {
    for (tracked_call &call : d.calls) {
        const bool following =
            d.protocol == event_protocol::dmr
                ? d.dmr.state->synchronised && d.dmr.state->slot_mode[call.tracker.slot] == slot_mode_voice
                : d.ysf.state->synced;
        if (following) track_alive(call.tracker, now);
    }
}

void decode_symbols(receiver_state &r, voice_path &v, bool last) {
    feed_blocks(v.symbols, last, [&](const uint8_t *symbols, size_t count) {
        for (auto &d : v.decoders) {
            if (d->protocol == event_protocol::dmr)
                dmr_decoder_block(d->dmr, symbols, count);
            else
                ysf_decoder_block(d->ysf, symbols, count);
            keep_alive(*d, r.now);
        }
    });
}

void decode_bits(page_path &p, bool last) {
    feed_blocks(p.bits, last, [&](const uint8_t *bits, size_t count) { page_decoder_block(p.decoder, bits, count); });
}

void ysf_presence(receiver_state &r);

// One block of the 48000/s stream through the four-level demodulators and
// their decoders.
void voice_block(receiver_state &r, const float *block, int32_t count, bool last) {
    uint8_t out[symbols_per_block_limit];
    for (auto &v : r.voices) {
        int32_t made = symbol_demodulator_block(v->demod, block, count, out);
        v->symbols.insert(v->symbols.end(), out, out + made);
        decode_symbols(r, *v, last);
        if (last)
            for (auto &d : v->decoders)
                if (d->protocol == event_protocol::ysf) ysf_decoder_finish(d->ysf);
    }
    if (r.settings.ysf) ysf_presence(r);
}

// Samples of one bit stream through its POCSAG demodulators and decoders,
// block by block, each stamped with the stream's own time.
void page_blocks(receiver_state &r, int index, const float *samples, size_t count, bool last) {
    bit_stream &s = r.streams[static_cast<size_t>(index)];
    uint8_t out[bits_per_block_limit];
    auto run = [&](const float *block, int32_t n, bool final_block) {
        s.samples += n;
        double saved = r.now;
        r.now = static_cast<double>(r.settings.start_sample) / channel_rate + static_cast<double>(s.samples) / s.rate;
        for (auto &p : r.pages) {
            if (p->stream != index) continue;
            int32_t made = bit_demodulator_block(p->demod, block, n, out);
            p->bits.insert(p->bits.end(), out, out + made);
            decode_bits(*p, final_block);
            if (final_block) page_decoder_finish(p->decoder);
        }
        r.now = saved;
    };
    size_t at = 0;
    while (at < count) {
        size_t take = std::min(static_cast<size_t>(demodulator_block) - s.block.size(), count - at);
        s.block.insert(s.block.end(), samples + at, samples + at + take);
        at += take;
        if (s.block.size() == static_cast<size_t>(demodulator_block)) {
            run(s.block.data(), demodulator_block, false);
            s.block.clear();
        }
    }
    if (last) {
        run(s.block.data(), static_cast<int32_t>(s.block.size()), true);
        s.block.clear();
    }
}

void page_input(receiver_state &r, const float *samples, size_t count, bool last) {
    for (size_t k = 0; k < r.streams.size(); ++k) {
        bit_stream &s = r.streams[k];
        if (s.rate == channel_rate) {
            page_blocks(r, static_cast<int>(k), samples, count, last);
            continue;
        }
        std::vector<float> resampled;
        resampler_process(s.resampler, samples, count, resampled);
        if (last) resampler_flush(s.resampler, resampled);
        page_blocks(r, static_cast<int>(k), resampled.data(), resampled.size(), last);
    }
}

// One block of 48000/s samples (a whole demodulator block, or the last part).
void take_block(receiver_state &r, const float *block, int32_t count, bool last) {
    r.samples += count;
    r.now = static_cast<double>(r.settings.start_sample + r.samples) / channel_rate;
    voice_block(r, block, count, last);
    page_input(r, block, static_cast<size_t>(count), last);
    r.now = static_cast<double>(r.settings.start_sample + r.samples) / channel_rate;
    check_silence(r, false);
}

bool add_voice_decoder(receiver_state &r, voice_path &v, event_protocol protocol, int slot_only) {
    auto d = std::make_unique<voice_decoder>();
    d->protocol = protocol;
    const int id = static_cast<int>(r.refs.size());
    const bool voice = r.settings.speech || r.settings.tap;
    bool ok = protocol == event_protocol::dmr ? dmr_decoder_init(d->dmr, &r, id, voice, slot_only)
                                              : ysf_decoder_init(d->ysf, &r, id, voice);
    d->reports_channel = slot_only <= 0;
    if (ok && protocol == event_protocol::dmr && d->reports_channel) d->dmr.state->report_presence = true;
    for (int slot = 0; slot < (protocol == event_protocol::dmr ? 2 : 1); ++slot) {
        if (slot_only >= 0 && slot != slot_only) continue;
        tracked_call call;
        call.tracker.protocol = protocol;
        call.tracker.slot = slot;
        d->calls.push_back(std::move(call));
    }
    std::string name = protocol == event_protocol::dmr ? "dmr" : "ysf";
    if (slot_only >= 0) name += std::to_string(slot_only + 1);
    if (v.inverted) name += "-i";
    r.refs.push_back({&v, d.get(), nullptr, name});
    v.decoders.push_back(std::move(d));
    return ok;
}

bool build(receiver_state &r) {
    const receiver_settings &o = r.settings;
    bool ok = true;
    for (bool inverted : {false, true}) {
        if (!(o.dmr || o.ysf)) break;
        auto v = std::make_unique<voice_path>();
        v->inverted = inverted;
        symbol_demodulator_init(v->demod, o.exact, inverted);
        // With speech, one decoder per slot, each letting one slot's voice
        // through (the voice lock passes one slot at a time), so that every
        // voice frame belongs to a known slot.
        if (o.dmr && o.speech) {
            ok = ok && add_voice_decoder(r, *v, event_protocol::dmr, 0) && add_voice_decoder(r, *v, event_protocol::dmr, 1);
        } else if (o.dmr) {
            ok = ok && add_voice_decoder(r, *v, event_protocol::dmr, -1);
        }
        if (o.ysf) ok = ok && add_voice_decoder(r, *v, event_protocol::ysf, -1);
        r.voices.push_back(std::move(v));
    }
    if (!o.pocsag) return ok;
    r.streams.push_back({});
    if (o.exact) {
        for (double rate : {20480.0, 96000.0}) {
            bit_stream s;
            s.rate = rate;
            if (!resampler_open(s.resampler, channel_rate, rate, 1, r.error)) return false;
            r.streams.push_back(std::move(s));
        }
    }
    for (int baud : {512, 1200, 2400}) {
        for (bool inverted : {false, true}) {
            auto p = std::make_unique<page_path>();
            p->baud = baud;
            p->inverted = inverted;
            p->stream = !o.exact || baud == 1200 ? 0 : baud == 512 ? 1 : 2;
            bit_demodulator_init(p->demod, o.exact, baud, inverted);
            ok = ok && page_decoder_init(p->decoder, &r, static_cast<int>(r.refs.size()));
            r.refs.push_back(
                {nullptr, nullptr, p.get(), "pocsag" + std::to_string(baud) + (inverted ? "-i" : "")});
            r.pages.push_back(std::move(p));
        }
    }
    return ok;
}


// An event of the channel's DMR signal (no call), stamped now.
event dmr_event(const receiver_state &r, event_kind kind, int slot) {
    event e;
    e.protocol = event_protocol::dmr;
    e.kind = kind;
    e.time = r.now;
    e.slot = slot + 1;
    return e;
}

void signal_event(receiver_state &r, int slot) {
    event e = dmr_event(r, event_kind::signal, slot);
    e.slot = 0;
    const dmr_presence &p = r.dmr;
    add_text(e, "state", p.present ? "acquired" : "lost");
    if (p.present) {
        add_number(e, "color_code", p.color_code);
        add_text(e, "source_type", p.source_type);
        std::string slots = "{";
        for (int k = 0; k < 2; ++k) {
            if (k) slots += ",";
            slots += "\"" + std::to_string(k + 1) + "\":\"" + (p.carries[k].empty() ? "unknown" : p.carries[k]) + "\"";
        }
        e.extra.push_back({"slots", event_field::form::raw, slots + "}"});
        e.summary = std::string(p.source_type == "BS" ? "base station" : "mobile station") + ", colour code " +
                    std::to_string(p.color_code);
        for (int k = 0; k < 2; ++k)
            if (!p.carries[k].empty()) e.summary += ", TS" + std::to_string(k + 1) + " " + p.carries[k];
    } else {
        e.summary = "lost";
    }
    add_number(e, "data_failures", p.data_failures);
    r.emit(std::move(e));
}

// A presence line: the channel's signal acquired, changed or lost. Noise
// passes a checked word now and then, and the decoder of the wrong polarity
// sees noise: a new signal (or a new colour code) counts once three lines of
// one polarity's decoder running agree on it, and while a signal is present
// only the polarity that found it speaks for it.
void presence(receiver_state &r, const voice_path &v, const dmr_line &l) {
    constexpr int lines_to_agree = 3;
    dmr_presence &p = r.dmr;
    const std::string *kind = l.find("signal");
    if (!kind || l.slot < 0 || l.slot > 1) return;
    if (p.present && p.owner != &v) return;
    presence_candidate &c = p.candidates[v.inverted ? 1 : 0];
    if (*kind == "none") {
        c = presence_candidate{};
        p.carries[l.slot].clear();
        if (p.present && p.carries[1 - l.slot].empty()) {
            p.present = false;
            p.owner = nullptr;
            signal_event(r, l.slot);
        }
        return;
    }
    const long cc = static_cast<long>(l.number("cc", -1));
    const std::string *carries = l.find("carries");
    if (carries) p.carries[l.slot] = *carries;
    if (p.present && p.source_type == *kind && p.color_code == cc) return;
    if (c.type != *kind || c.cc != cc) {
        c.type = *kind;
        c.cc = cc;
        c.count = 0;
    }
    if (++c.count < lines_to_agree) return;
    p.present = true;
    p.owner = &v;
    p.source_type = *kind;
    p.color_code = cc;
    c = presence_candidate{};
    signal_event(r, l.slot);
}

void csbk(receiver_state &r, const dmr_line &l, std::string_view text) {
    if (l.slot < 0 || l.slot > 1) return;
    // The same CSBK again, soon: the control channel repeating itself.
    std::string body(text.substr(text.find(';', text.find("slot:")) + 1));
    const bool same = body == r.dmr.last_csbk[l.slot] && r.now - r.dmr.last_csbk_time[l.slot] < csbk_repeat_seconds;
    r.dmr.last_csbk[l.slot] = body;
    r.dmr.last_csbk_time[l.slot] = r.now;
    if (same) return;
    event e = dmr_event(r, event_kind::csbk, l.slot);
    add_number(e, "opcode", l.number("csbk"));
    add_number(e, "fid", l.number("fid"));
    const std::string *name = l.find("name");
    if (name) add_text(e, "name", *name);
    e.summary = name ? *name : "opcode " + std::to_string(l.number("csbk")) + " of feature set " +
                                    std::to_string(l.number("fid"));
    if (l.find("source")) {
        e.source = static_cast<long>(l.number("source"));
        e.target = static_cast<long>(l.number("target"));
        add_number(e, "source", e.source);
        add_number(e, "target", e.target);
        e.summary += " " + std::to_string(e.source) + " -> " + std::to_string(e.target);
    }
    if (const std::string *data = l.find("data")) add_text(e, "data", *data);
    r.emit(std::move(e));
}

void data_message(receiver_state &r, const dmr_line &l) {
    event e = dmr_event(r, event_kind::data, l.slot < 0 ? 0 : l.slot);
    const std::string format = l.find("data") ? *l.find("data") : "";
    e.source = static_cast<long>(l.number("source"));
    e.target = static_cast<long>(l.number("target"));
    e.type = l.number("group") ? "group" : "direct";
    add_text(e, "format", format);
    add_number(e, "source", e.source);
    add_number(e, "target", e.target);
    add_flag(e, "group", l.number("group") != 0);
    add_number(e, "sap", l.number("sap"));
    if (l.find("bytes")) add_number(e, "bytes", l.number("bytes"));
    for (const char *k : {"payload", "ip_source", "ip_target"})
        if (const std::string *v = l.find(k)) add_text(e, k, *v);
    for (const char *k : {"udp_source", "udp_target", "class", "type", "status", "udt_format", "udt_opcode"})
        if (l.find(k)) add_number(e, k, l.number(k));
    if (l.find("truncated")) add_flag(e, "truncated", true);
    e.summary = format + " " + std::to_string(e.source) + " -> " + std::to_string(e.target);
    if (const std::string *t = l.find("text")) {
        add_text(e, "text", *t);
        e.summary += "  text: " + *t;
    }
    const std::string *lat = l.find("lat"), *lon = l.find("lon");
    if (lat && lon) {
        char *end_lat = nullptr, *end_lon = nullptr;
        double la = std::strtod(lat->c_str(), &end_lat), lo = std::strtod(lon->c_str(), &end_lon);
        if (*end_lat == 0 && *end_lon == 0 && la >= -90 && la <= 90 && lo >= -180 && lo <= 180) {
            e.has_position = true;
            e.lat = la;
            e.lon = lo;
        }
    }
    if (l.find("bytes") && !l.find("text") && !e.has_position) e.summary += "  " + std::to_string(l.number("bytes")) + " bytes";
    r.emit(std::move(e));
}

// A DMR metadata line by its kind: the state of a slot goes to the call
// tracking, the rest becomes the channel's own events.
void dmr_report(receiver_state &r, voice_path &v, voice_decoder &d, std::string_view text) {
    dmr_line l = read_dmr_line(text);
    if (l.kind == dmr_line_kind::slot_state) {
        track(r, v, d, text);
        return;
    }
    if (!d.reports_channel) return;
    switch (l.kind) {
        case dmr_line_kind::csbk:
            csbk(r, l, text);
            break;
        case dmr_line_kind::data_message:
            data_message(r, l);
            break;
        case dmr_line_kind::data_dropped:
            r.dmr.data_failures = std::max(r.dmr.data_failures, l.number("failures"));
            break;
        case dmr_line_kind::presence:
            presence(r, v, l);
            break;
        default:
            break;
    }
}

// System Fusion has no presence lines: its decoder's sync is the signal.
void ysf_presence(receiver_state &r) {
    bool synced = false;
    for (const auto &v : r.voices)
        for (const auto &d : v->decoders)
            if (d->protocol == event_protocol::ysf && d->ysf.state->synced) synced = true;
    if (synced == r.ysf_present) return;
    r.ysf_present = synced;
    event e;
    e.protocol = event_protocol::ysf;
    e.kind = event_kind::signal;
    e.time = r.now;
    add_text(e, "state", synced ? "acquired" : "lost");
    e.summary = synced ? "acquired" : "lost";
    r.emit(std::move(e));
}

}  // namespace

void receiver_state::line(int decoder, const char *text, size_t size) {
    const decoder_ref &ref = refs[static_cast<size_t>(decoder)];
    std::string_view line(text, size);
    if (settings.tap) settings.tap->line(ref.name, line);
    if (ref.page) {
        if (auto page = parse_page_line(line, ref.page->baud, now)) emit(std::move(*page));
        return;
    }
    if (ref.decoder->protocol == event_protocol::dmr) {
        dmr_report(*this, *ref.voice, *ref.decoder, line);
        return;
    }
    track(*this, *ref.voice, *ref.decoder, line);
}

void receiver_state::voice(int decoder, const uint8_t *unit, size_t size) {
    const decoder_ref &ref = refs[static_cast<size_t>(decoder)];
    if (settings.tap) settings.tap->voice(ref.name, unit, size);
    if (!settings.speech || !ref.decoder || ref.decoder->calls.empty()) return;
    voice_decoder &d = *ref.decoder;
    // A decoder with speech follows one slot (DMR) or the channel: its one tracker.
    tracked_call &call = d.calls.front();
    if (call.tracker.active && call.tracker.current.encrypted) {
        call.speech.pending.clear();
        return;
    }
    std::vector<uint8_t> bytes(unit, unit + size);
    if (call.shown) {
        speak(*this, d, call, bytes);
        return;
    }
    call.speech.pending.push_back(std::move(bytes));
    const size_t limit = d.protocol == event_protocol::dmr ? dmr_pending_units : ysf_pending_units;
    while (call.speech.pending.size() > limit) call.speech.pending.pop_front();
}

receiver::receiver(const receiver_settings &settings, uint64_t *next_call_id, std::vector<receiver_item> *items)
    : state_(std::make_unique<receiver_state>()) {
    state_->settings = settings;
    state_->next_call_id = next_call_id;
    state_->items = items;
    if (!build(*state_) && state_->error.empty()) state_->error = "cannot set up the decoders' output streams";
}

receiver::~receiver() {
    for (auto &v : state_->voices)
        for (auto &d : v->decoders) {
            dmr_decoder_close(d->dmr);
            ysf_decoder_close(d->ysf);
        }
    for (auto &p : state_->pages) page_decoder_close(p->decoder);
    for (auto &s : state_->streams) resampler_close(s.resampler);
}

bool receiver::ready(std::string &error) const {
    if (state_->error.empty()) return true;
    error = state_->error;
    return false;
}

void receiver::process(const float *samples, size_t count) {
    receiver_state &r = *state_;
    size_t at = 0;
    while (at < count) {
        size_t take = std::min(static_cast<size_t>(demodulator_block) - r.block.size(), count - at);
        r.block.insert(r.block.end(), samples + at, samples + at + take);
        at += take;
        if (r.block.size() == static_cast<size_t>(demodulator_block)) {
            take_block(r, r.block.data(), demodulator_block, false);
            r.block.clear();
        }
    }
}

void receiver::finish() {
    receiver_state &r = *state_;
    take_block(r, r.block.data(), static_cast<int32_t>(r.block.size()), true);
    r.block.clear();
    check_silence(r, true);
}

double receiver::horizon() const {
    const receiver_state &r = *state_;
    const double start = static_cast<double>(r.settings.start_sample) / channel_rate;
    double h = start + static_cast<double>(r.samples) / channel_rate;
    for (const bit_stream &s : r.streams) h = std::min(h, start + static_cast<double>(s.samples) / s.rate);
    return h;
}

long long receiver::samples() const { return state_->samples; }
