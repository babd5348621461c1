// SPDX-License-Identifier: MIT
#include "engine.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "event_order.h"
#include "file_source.h"
#include "line_sinks.h"
#include "narrowband.h"
#include "page_merge.h"
#include "progress.h"
#include "raw_source.h"
#include "receiver.h"
#include "speech_sink.h"

namespace {

raw_format raw_format_of(input_format f) {
    switch (f) {
        case input_format::s16:
            return raw_format::s16;
        case input_format::f32:
            return raw_format::f32;
        case input_format::cu8:
            return raw_format::cu8;
        case input_format::cs16:
            return raw_format::cs16;
        default:
            return raw_format::cf32;
    }
}

std::unique_ptr<sample_source> open_input(const zelvane_options &o, std::string &error) {
    if (o.format == input_format::file) return open_sound_file(o.input, error);
    return open_raw_source(o.input, raw_format_of(o.format), static_cast<double>(o.rate), error);
}

long long wall_clock_ms() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// ISO 8601 UTC with milliseconds: 2026-12-11T10:00:00.480Z.
std::string iso_utc(long long ms) {
    time_t seconds = static_cast<time_t>(ms / 1000);
    tm parts{};
    gmtime_r(&seconds, &parts);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(ms % 1000));
    return buffer;
}

struct engine {
    const zelvane_options &options;
    const volatile std::sig_atomic_t *stop;
    std::unique_ptr<sample_source> source;
    narrowband_input narrowband;
    uint64_t call_ids = 0;
    std::vector<receiver_item> items;
    std::unique_ptr<receiver> channel;
    event_order order;
    page_merge pages;
    std::vector<std::unique_ptr<event_sink>> sinks;
    event_sink *lines = nullptr;
    progress_bar progress;
    long long frames_read = 0;
    bool output_over = false;  // the reader of standard output went away
    std::string failure;

    double input_time() const { return static_cast<double>(frames_read) / source->info().rate; }

    // What the engine adds to every event: station and wall-clock time.
    void stamp(event &e) {
        e.station = options.station;
        if (options.start_ms >= 0)
            e.utc = iso_utc(options.start_ms + std::llround(e.time * 1000));
        else if (source->info().live)
            e.utc = iso_utc(wall_clock_ms() - std::llround((input_time() - e.time) * 1000));
    }

    void deliver(receiver_item &item) {
        if (item.is_speech) {
            for (auto &s : sinks) s->speech(item.call_id, item.speech.data(), item.speech.size());
            return;
        }
        event &e = item.report;
        if (e.kind == event_kind::page) {
            event *reported = nullptr;
            page_verdict verdict = merge_page(pages, e, &reported);
            if (verdict == page_verdict::copy) return;
            if (verdict == page_verdict::repeat) {
                e.kind = event_kind::page_repeat;
                e.repeats = reported->repeats;
            }
        }
        stamp(e);
        for (auto &s : sinks) s->take(e);
    }

    void release(double until) {
        order_take(order, items);
        std::vector<receiver_item> ready;
        order_release(order, until, ready);
        for (receiver_item &item : ready) deliver(item);
        for (auto &s : sinks)
            if (failure.empty() && s->failed(failure)) break;
        if (lines && line_sink_reader_gone(*lines)) output_over = true;
    }
};

bool make_sinks(engine &g, std::string &error) {
    if (!g.options.audio_dir.empty()) {
        auto speech = make_speech_sink(g.options.audio_dir, error);
        if (!speech) return false;
        g.sinks.push_back(std::move(speech));
    }
    progress_bar *bar = &g.progress;
    auto clear = [bar] { progress_clear(*bar); };
    auto lines = g.options.json ? make_json_sink(STDOUT_FILENO, g.stop, clear)
                                : make_text_sink(STDOUT_FILENO, g.stop, clear);
    g.lines = lines.get();
    g.sinks.push_back(std::move(lines));
    return true;
}

// Frames read a pass: a file in blocks of 4096, a live stream everything it
// has, up to a tenth of a second (a wideband capture of megabytes a second
// keeps up).
size_t frames_per_pass(const source_info &info) {
    if (!info.live) return 4096;
    return std::max<size_t>(4096, static_cast<size_t>(info.rate / 10));
}

}  // namespace

int run_engine(const zelvane_options &options, const volatile std::sig_atomic_t *stop, std::string &error) {
    engine g{options, stop, nullptr, {}, 0, {}, nullptr, {}, {}, {}, nullptr, {}, 0, false, {}};
    g.pages.window = options.dedup_seconds;
    // mbelib's unvoiced synthesis draws from rand(): the same start on every
    // run gives the same speech.
    std::srand(1);
    g.source = open_input(options, error);
    if (!g.source) return *stop ? 130 : 1;
    const source_info info = g.source->info();
    if (!narrowband_open(g.narrowband, info, error)) return 1;
    receiver_settings settings;
    settings.dmr = options.dmr;
    settings.ysf = options.ysf;
    settings.pocsag = options.pocsag;
    settings.exact = options.exact;
    settings.speech = !options.audio_dir.empty();
    g.channel = std::make_unique<receiver>(settings, &g.call_ids, &g.items);
    if (!g.channel->ready(error)) return 1;
    if (!make_sinks(g, error)) return 1;
    progress_init(g.progress, options.progress && !info.live && info.total_frames > 0 && isatty(STDERR_FILENO),
                  info.total_frames, info.rate);

    std::vector<float> frames, samples;
    const size_t per_pass = frames_per_pass(info);
    const size_t values_per_frame = info.complex ? 2 : 1;
    bool stopped = false, ended = false;
    while (true) {
        if (*stop) {
            stopped = true;
            break;
        }
        if (!g.failure.empty() || g.output_over) break;
        frames.clear();
        bool more = g.source->read(frames, per_pass, 100);
        const size_t count = frames.size() / values_per_frame;
        g.frames_read += static_cast<long long>(count);
        samples.clear();
        narrowband_convert(g.narrowband, frames.data(), count, samples);
        if (!more) narrowband_flush(g.narrowband, samples);
        g.channel->process(samples.data(), samples.size());
        if (!more) {
            ended = true;
            break;
        }
        g.release(g.channel->horizon());
        progress_update(g.progress, g.frames_read);
    }
    // A stop asked for while the input was ending is a stop all the same.
    if (*stop) stopped = true;
    // The calls still open end here: at the end of the input, or where the
    // run was stopped.
    if (g.failure.empty() && !g.output_over) g.channel->finish();
    g.release(INFINITY);
    progress_update(g.progress, g.frames_read);
    progress_clear(g.progress);
    for (auto &s : g.sinks) s->finish(stopped);
    for (auto &s : g.sinks)
        if (g.failure.empty() && s->failed(g.failure)) break;
    narrowband_close(g.narrowband);
    if (!g.failure.empty()) {
        error = g.failure;
        return 1;
    }
    if (ended && !g.source->error().empty()) {
        error = g.source->error();
        return 1;
    }
    return stopped ? 130 : 0;
}
