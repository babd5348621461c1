// SPDX-License-Identifier: MIT
#include "engine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "audio_sink.h"
#include "channel.h"
#include "channelizer.h"
#include "event_order.h"
#include "file_source.h"
#include "http_sink.h"
#include "line_sinks.h"
#include "mqtt_sink.h"
#include "names.h"
#include "narrowband.h"
#include "page_merge.h"
#include "progress.h"
#include "raw_source.h"
#include "receiver.h"
#include "rtl_tcp_source.h"
#include "sqlite_sink.h"

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
    if (!o.rtl_tcp_host.empty()) {
        rtl_tcp_settings rtl;
        rtl.host = o.rtl_tcp_host;
        rtl.port = o.rtl_tcp_port;
        rtl.center_hz = o.center;
        rtl.rate = o.rate;
        rtl.automatic_gain = o.automatic_gain;
        rtl.gain_db = o.gain_db;
        rtl.ppm = static_cast<int>(std::lround(o.ppm));
        return open_rtl_tcp(rtl, error);
    }
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
    engine(const zelvane_options &o, const volatile std::sig_atomic_t *s) : options(o), stop(s) {}
    const zelvane_options &options;
    const volatile std::sig_atomic_t *stop;
    std::unique_ptr<sample_source> source;
    narrowband_input narrowband;
    uint64_t call_ids = 0;
    std::vector<receiver_item> items;
    std::unique_ptr<receiver> channel;  // the one narrowband channel
    // Wideband: the channelizer and a gated channel per watched frequency.
    channelizer band;
    std::vector<std::unique_ptr<gated_channel>> channels;
    std::vector<std::vector<float>> channel_iq;
    event_order order;
    page_merge pages;
    name_tables names;
    std::vector<std::unique_ptr<event_sink>> sinks;
    event_sink *lines = nullptr;
    http_sink *web = nullptr;  // the web monitor, when --http asked for it
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
        apply_names(names, e);
        for (auto &s : sinks) s->take(e);
    }

    // The input time every channel has reported up to.
    double horizon() const {
        if (channel) return channel->horizon();
        double h = INFINITY;
        for (const auto &c : channels) h = std::min(h, c->horizon());
        return h;
    }

    // The frames of one pass through the channelizer into every channel
    // (all of them at the end, last).
    void decode_band(const float *frames, size_t count, bool last) {
        for (auto &out : channel_iq) out.clear();
        band.process(frames, count, channel_iq);
        if (last) band.finish(channel_iq);
        // The band's floor from the channels that have a floor of their own
        // (none has before its first detector frame).
        std::vector<double> floors;
        for (const auto &c : channels)
            if (c->activity().floor_db() > -299) floors.push_back(c->activity().floor_db());
        const double floor = floors.empty() ? NAN : band_floor_db(floors);
        for (size_t k = 0; k < channels.size(); ++k) {
            channels[k]->activity().set_band_floor(floor);
            channels[k]->process(channel_iq[k].data(), channel_iq[k].size() / 2);
        }
    }

    // A stretch the input lost (a network stream reconnected): an event at
    // the input time where it happened.
    void report_gaps() {
        for (const source_gap &gap : source->take_gaps()) {
            receiver_item item;
            item.time = static_cast<double>(gap.at) / source->info().rate;
            item.report.protocol = event_protocol::input;
            item.report.kind = event_kind::gap;
            item.report.time = item.time;
            item.report.summary = gap.what;
            add_text(item.report, "what", gap.what);
            items.push_back(std::move(item));
        }
    }

    // A page heard on several channels within a second (a simulcast
    // network) is one event naming them all: the copies decided already,
    // released with it or still held, lend it their frequencies (and are
    // then merged away as copies).
    void gather_simulcast(event &page, const std::vector<receiver_item> &ready, size_t from) {
        auto take = [&](const receiver_item &other) {
            const event &o = other.report;
            if (other.is_speech || o.kind != event_kind::page || o.time - page.time > page_merge_seconds ||
                o.address != page.address || o.function != page.function || o.message != page.message ||
                o.frequency == 0)
                return;
            if (page.frequencies.empty()) page.frequencies.push_back(page.frequency);
            if (std::find(page.frequencies.begin(), page.frequencies.end(), o.frequency) == page.frequencies.end())
                page.frequencies.push_back(o.frequency);
        };
        for (size_t k = from; k < ready.size(); ++k) take(ready[k]);
        for (const receiver_item &held : order.held) take(held);
    }

    void release(double until) {
        order_take(order, items);
        std::vector<receiver_item> ready;
        order_release(order, until, ready);
        for (size_t k = 0; k < ready.size(); ++k) {
            if (!ready[k].is_speech && ready[k].report.kind == event_kind::page && ready[k].report.frequency != 0)
                gather_simulcast(ready[k].report, ready, k + 1);
            deliver(ready[k]);
        }
        for (auto &s : sinks)
            if (failure.empty() && s->failed(failure)) break;
        if (lines && line_sink_reader_gone(*lines)) output_over = true;
    }
};

bool make_sinks(engine &g, std::string &error) {
    progress_bar *bar = &g.progress;
    auto clear = [bar] { progress_clear(*bar); };
    // The speech files come first: they name a call's file on its call-end,
    // which the other sinks then report.
    if (!g.options.audio_dir.empty()) {
        audio_options audio;
        audio.folder = g.options.audio_dir;
        audio.format = g.options.audio_format;
        audio.name_template = g.options.audio_name;
        audio.report = [bar](const std::string &line) {
            progress_clear(*bar);
            std::fprintf(stderr, "zelvane: %s\n", line.c_str());
        };
        auto speech = make_audio_sink(audio, error);
        if (!speech) return false;
        g.sinks.push_back(std::move(speech));
    }
    auto lines = g.options.json ? make_json_sink(STDOUT_FILENO, g.stop, clear)
                                : make_text_sink(STDOUT_FILENO, g.stop, clear);
    g.lines = lines.get();
    g.sinks.push_back(std::move(lines));
    if (!g.options.db.empty()) {
        auto log = make_sqlite_sink(g.options.db, error);
        if (!log) return false;
        g.sinks.push_back(std::move(log));
    }
    if (!g.options.mqtt.empty()) {
        auto mqtt = make_mqtt_sink(g.options.mqtt, g.options.station, g.options.mqtt_cafile, error);
        if (!mqtt) return false;
        g.sinks.push_back(std::move(mqtt));
    }
    if (g.options.http.port >= 0) {
        auto web = make_http_sink(g.options.http, error);
        if (!web) return false;
        g.web = web.get();
        std::fprintf(stderr, "zelvane: web monitor at http://%s:%d/\n",
                     g.options.http.address.find(':') != std::string::npos
                         ? ("[" + g.options.http.address + "]").c_str()
                         : g.options.http.address.c_str(),
                     g.web->port());
        g.sinks.push_back(std::move(web));
    }
    return true;
}

// Frames read a pass: a file in blocks of 4096, a live stream everything it
// has, up to a tenth of a second (a wideband capture of megabytes a second
// keeps up).
constexpr double simulcast_hold_seconds = 0.5;

size_t frames_per_pass(const source_info &info) {
    if (!info.live && info.rate <= 200000) return 4096;
    return std::max<size_t>(4096, static_cast<size_t>(info.rate / 10));
}

}  // namespace

int run_engine(const zelvane_options &options, const volatile std::sig_atomic_t *stop, std::string &error) {
    engine g(options, stop);
    g.pages.window = options.dedup_seconds;
    std::vector<std::string> warnings;
    if (!load_name_tables(options.talkgroups, options.radio_ids, options.capcodes, g.names, warnings, error)) return 1;
    for (const std::string &w : warnings) std::fprintf(stderr, "zelvane: %s\n", w.c_str());
    // mbelib's unvoiced synthesis draws from rand(): the same start on every
    // run gives the same speech.
    std::srand(1);
    g.source = open_input(options, error);
    if (!g.source) return *stop ? 130 : 1;
    const source_info info = g.source->info();
    receiver_settings settings;
    settings.dmr = options.dmr;
    settings.ysf = options.ysf;
    settings.pocsag = options.pocsag;
    settings.exact = options.exact;
    settings.speech = !options.audio_dir.empty();
    if (options.wideband) {
        channelizer_settings band;
        band.rate = info.rate;
        band.center = options.center;
        band.channels = options.channels;
        // rtl_tcp's dongle corrects its own crystal from the ppm it was sent.
        band.ppm = options.rtl_tcp_host.empty() ? options.ppm : 0;
        if (!g.band.open(band, error)) return 1;
        for (long long hz : options.channels) {
            receiver_settings s = settings;
            s.frequency = hz;
            g.channels.push_back(std::make_unique<gated_channel>(s, &g.call_ids, &g.items));
        }
    } else {
        if (!narrowband_open(g.narrowband, info, error)) return 1;
        g.channel = std::make_unique<receiver>(settings, &g.call_ids, &g.items);
        if (!g.channel->ready(error)) return 1;
    }
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
        if (g.channel) {
            samples.clear();
            narrowband_convert(g.narrowband, frames.data(), count, samples);
            if (!more) narrowband_flush(g.narrowband, samples);
            g.channel->process(samples.data(), samples.size());
        } else {
            g.decode_band(frames.data(), count, !more);
        }
        g.report_gaps();
        if (!more) {
            ended = true;
            break;
        }
        // A wideband input holds its events half a second more, so that the
        // copies of a simulcast page on other channels are there to join it.
        g.release(g.channel ? g.horizon() : g.horizon() - simulcast_hold_seconds);
        progress_update(g.progress, g.frames_read);
    }
    // A stop asked for while the input was ending is a stop all the same.
    if (*stop) stopped = true;
    // The calls still open end here: at the end of the input, or where the
    // run was stopped.
    if (g.failure.empty() && !g.output_over) {
        if (g.channel) g.channel->finish();
        for (auto &c : g.channels) c->finish();
    }
    g.release(INFINITY);
    progress_update(g.progress, g.frames_read);
    progress_clear(g.progress);
    for (auto &s : g.sinks) s->finish(stopped);
    // After a file, the web monitor goes on serving its results until Ctrl-C.
    if (g.web && g.web->wants_to_linger() && g.failure.empty()) {
        std::fprintf(stderr, "zelvane: the input has ended; the web monitor serves on port %d until Ctrl-C\n",
                     g.web->port());
        while (!*stop) usleep(100000);
        stopped = true;
    }
    for (auto &s : g.sinks)
        if (g.failure.empty() && s->failed(g.failure)) break;
    if (g.channel) narrowband_close(g.narrowband);
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
