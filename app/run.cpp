// SPDX-License-Identifier: MIT
#include "run.h"

#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "chains.h"
#include "page_merge.h"
#include "progress.h"
#include "resampler.h"
#include "sample_input.h"

namespace {

// Speech held back before its call is known: a little more than the DMR
// superframe (360 ms) whose embedded signalling first names the call.
constexpr size_t pending_speech_limit = 3 * speech_rate;
// An ended call's file stays open this long (chain time) for the speech still
// in the vocoder's pipes.
constexpr double speech_tail_seconds = 1.0;
// Queues are filled only up to this, so that a slow chain holds back the
// input rather than zelvane's memory.
constexpr size_t queue_limit = 1 << 16;

constexpr long long live_period_us = 20000;

long long now_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

struct run_state {
    const zelvane_options &options;
    FILE *out;
    chain_set set;
    sample_input input;
    stream_resampler to_20480, to_96000;  // for the exact slicer at 512 and 2400 bits/s
    page_merge merge;
    std::vector<call_event> held;  // events not yet written, waiting for the slower chains
    progress_bar progress;
    bool output_failed = false;
    std::string error;
};

double chain_time(const voice_chain &c) { return static_cast<double>(feed_consumed(c.symbols)) / c.symbol_rate; }

double page_time(const page_chain &p) { return static_cast<double>(feed_consumed(p.bits)) / p.baud; }

// Events wait until every chain has read past their time, so that they come
// out in the order of the input although the chains run at their own pace
// (a file is read faster than real time). A live stream keeps every chain
// close to the present, so its events wait no longer than the slowest chain.
void emit(run_state &r, const call_event &e) { r.held.push_back(e); }

// The input time up to which every chain has reported: the least read
// position of the chains still running.
double reported_until(const run_state &r) {
    double until = INFINITY;
    for (const auto &c : r.set.voices)
        if (c->meta.fd >= 0) until = std::min(until, chain_time(*c));
    for (const auto &p : r.set.pages)
        if (p->pages.fd >= 0) until = std::min(until, page_time(*p));
    return until;
}

// Writes the held events up to time until, oldest first.
void release(run_state &r, double until) {
    std::stable_sort(r.held.begin(), r.held.end(),
                     [](const call_event &a, const call_event &b) { return a.time < b.time; });
    size_t n = 0;
    for (; n < r.held.size() && r.held[n].time <= until; ++n) {
        const call_event &e = r.held[n];
        std::string line = r.options.json ? event_json(e) : event_text(e);
        progress_clear(r.progress);
        if (std::fwrite(line.data(), 1, line.size(), r.out) != line.size() || std::fflush(r.out) != 0)
            r.output_failed = true;
    }
    r.held.erase(r.held.begin(), r.held.begin() + static_cast<long>(n));
}

void push_floats(feed &f, const std::vector<float> &samples, bool negate) {
    if (f.fd < 0) return;
    if (!negate) {
        f.queue.append(reinterpret_cast<const char *>(samples.data()), samples.size() * sizeof(float));
        return;
    }
    std::vector<float> negated(samples.size());
    for (size_t n = 0; n < samples.size(); ++n) negated[n] = -samples[n];
    f.queue.append(reinterpret_cast<const char *>(negated.data()), negated.size() * sizeof(float));
}

// Hands one block of 48000/s samples to every demodulator.
void distribute(run_state &r, const std::vector<float> &samples, bool last) {
    for (auto &s : r.set.sources) push_floats(s->samples, samples, s->negate_input);
    if (r.set.pages.empty()) return;
    std::vector<float> slow, fast;
    if (!r.set.lock_demodulators) {
        resampler_process(r.to_20480, samples.data(), samples.size(), slow);
        resampler_process(r.to_96000, samples.data(), samples.size(), fast);
        if (last) {
            resampler_flush(r.to_20480, slow);
            resampler_flush(r.to_96000, fast);
        }
    }
    for (auto &p : r.set.pages)
        push_floats(p->samples, p->sample_stream == 0 ? samples : p->sample_stream == 1 ? slow : fast, false);
}

bool input_wanted(const run_state &r) {
    if (r.input.at_end) return false;
    for (const auto &s : r.set.sources)
        if (s->samples.queue.size() > queue_limit) return false;
    for (const auto &p : r.set.pages)
        if (p->samples.queue.size() > queue_limit) return false;
    return true;
}

void read_input(run_state &r) {
    std::vector<float> samples;
    read_input_block(r.input, samples);
    distribute(r, samples, r.input.at_end);
    if (!r.input.at_end) return;
    for (auto &s : r.set.sources) s->samples.closing = true;
    for (auto &p : r.set.pages) p->samples.closing = true;
}

// Reads what fd has; false at end of file (fd closed and set to -1).
bool read_some(int &fd, std::string &into) {
    char buffer[16384];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    close(fd);
    fd = -1;
    return false;
}

template <typename Each>
void read_lines(line_reader &reader, Each &&each) {
    if (!read_some(reader.fd, reader.partial) && !reader.partial.empty()) reader.partial += '\n';
    size_t start = 0, newline;
    while ((newline = reader.partial.find('\n', start)) != std::string::npos) {
        each(std::string_view(reader.partial).substr(start, newline - start));
        start = newline + 1;
    }
    reader.partial.erase(0, start);
    // A line longer than any decoder writes is garbage: drop it.
    if (reader.partial.size() > 4096) reader.partial.clear();
}

// The chain of the other polarity reporting the same slot of the same protocol.
bool other_polarity_presents(const run_state &r, const voice_chain &c, int slot) {
    for (const auto &o : r.set.voices) {
        if (o.get() == &c || o->protocol != c.protocol || o->inverted == c.inverted) continue;
        for (size_t k = 0; k < o->trackers.size(); ++k)
            if (o->trackers[k].slot == slot && o->presented[k]) return true;
    }
    return false;
}

void open_speech(run_state &r, voice_chain &c, const call_event &call) {
    if (c.speech_fd < 0 && c.pending.empty()) return;
    if (r.options.audio_dir.empty()) return;
    speech_file_close(c.file);
    std::string error;
    if (!speech_file_open(c.file, r.options.audio_dir, call, error)) {
        progress_clear(r.progress);
        std::fprintf(stderr, "zelvane: %s\n", error.c_str());
    }
    speech_file_write(c.file, c.pending.data(), c.pending.size());
    c.pending.clear();
    c.close_at = -1;
}

// Presents one event of tracker k of chain c, unless the other polarity
// already presents a call in that slot: only the chain whose structure
// validated (ids decoded) is ever shown, and one of them at a time.
void present(run_state &r, voice_chain &c, size_t k, const call_event &e, bool starts) {
    if (e.kind == event_kind::call) {
        if (!c.presented[k]) {
            if (other_polarity_presents(r, c, e.slot)) return;
            c.presented[k] = true;
            starts = true;
        }
        emit(r, e);
        if (starts && !r.options.audio_dir.empty()) open_speech(r, c, e);
        return;
    }
    if (!c.presented[k]) return;
    c.presented[k] = false;
    emit(r, e);
    c.close_at = chain_time(c) + speech_tail_seconds;
}

void handle_meta_line(run_state &r, voice_chain &c, std::string_view line) {
    double time = chain_time(c);
    for (size_t k = 0; k < c.trackers.size(); ++k) {
        bool was_active = c.trackers[k].active;
        for (const call_event &e : track_line(c.trackers[k], line, time)) present(r, c, k, e, !was_active);
    }
}

void handle_speech(voice_chain &c) {
    if (!read_some(c.speech_fd, c.speech_partial)) c.speech_partial.clear();
    size_t count = c.speech_partial.size() / 2;
    if (count == 0) return;
    std::vector<int16_t> samples(count);
    std::memcpy(samples.data(), c.speech_partial.data(), count * 2);
    c.speech_partial.erase(0, count * 2);
    if (c.file.file) {
        speech_file_write(c.file, samples.data(), count);
        return;
    }
    c.pending.insert(c.pending.end(), samples.begin(), samples.end());
    if (c.pending.size() > pending_speech_limit)
        c.pending.erase(c.pending.begin(),
                        c.pending.begin() + static_cast<long>(c.pending.size() - pending_speech_limit));
}

void handle_page_line(run_state &r, page_chain &p, std::string_view line) {
    auto page = parse_page_line(line, p.baud, page_time(p));
    if (page && accept_page(r.merge, *page)) emit(r, *page);
}

// Calls whose slot went silent, and files of ended calls whose tail is in.
void check_timeouts(run_state &r) {
    for (auto &c : r.set.voices) {
        bool waiting = c->close_at >= 0;
        for (const call_tracker &t : c->trackers) waiting |= t.active;
        if (!waiting) continue;
        double now = chain_time(*c);
        for (size_t k = 0; k < c->trackers.size(); ++k)
            if (auto end = end_call_if_silent(c->trackers[k], now, false)) present(r, *c, k, *end, false);
        if (c->close_at >= 0 && now >= c->close_at) {
            speech_file_close(c->file);
            c->close_at = -1;
            c->pending.clear();
        }
    }
}

void forward(int &from, std::vector<feed *> to) {
    std::string data;
    bool open = read_some(from, data);
    for (feed *f : to) {
        if (f->fd < 0) continue;
        f->queue += data;
        if (!open) f->closing = true;
    }
}

bool downstream_full(const std::vector<feed *> &to) {
    for (const feed *f : to)
        if (f->queue.size() > queue_limit) return true;
    return false;
}

struct poll_entry {
    int *fd;
    int kind;  // 0 input, 1 source, 2 meta, 3 speech, 4 bits, 5 pages, 6 diagnostics
    void *owner;
};

// Reads the lines that the decoders wrote while the last pass waited, before
// any of them is fed more: a line takes its time from its decoder's read
// position, which the next feed moves on.
void read_ready_lines(run_state &r) {
    std::vector<pollfd> fds;
    std::vector<voice_chain *> voices;
    std::vector<page_chain *> pages;
    for (auto &c : r.set.voices)
        if (c->meta.fd >= 0) {
            fds.push_back({c->meta.fd, POLLIN, 0});
            voices.push_back(c.get());
        }
    for (auto &p : r.set.pages)
        if (p->pages.fd >= 0) {
            fds.push_back({p->pages.fd, POLLIN, 0});
            pages.push_back(p.get());
        }
    if (fds.empty() || poll(fds.data(), fds.size(), 0) <= 0) return;
    for (size_t n = 0; n < fds.size(); ++n) {
        if (!(fds[n].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (n < voices.size()) {
            voice_chain &c = *voices[n];
            read_lines(c.meta, [&](std::string_view line) { handle_meta_line(r, c, line); });
        } else {
            page_chain &p = *pages[n - voices.size()];
            read_lines(p.pages, [&](std::string_view line) { handle_page_line(r, p, line); });
        }
    }
}

// One pass of the loop: feeds pumped, descriptors polled and served. False
// once every pipe has closed.
bool step(run_state &r) {
    read_ready_lines(r);
    bool throttled = false;
    auto pump = [&](feed &f) {
        feed_pump(f);
        if (f.fd >= 0 && f.queue.size() >= f.chunk) throttled = true;
    };
    for (auto &s : r.set.sources) pump(s->samples);
    for (auto &c : r.set.voices) pump(c->symbols);
    for (auto &p : r.set.pages) {
        pump(p->samples);
        pump(p->bits);
    }

    std::vector<poll_entry> entries;
    bool want_input = input_wanted(r);
    int input_fd = input_wait_fd(r.input);
    if (want_input && input_fd >= 0) entries.push_back({&r.input.fd, 0, nullptr});
    for (auto &s : r.set.sources) {
        std::vector<feed *> to;
        for (voice_chain *c : s->chains) to.push_back(&c->symbols);
        if (s->out_fd >= 0 && !downstream_full(to)) entries.push_back({&s->out_fd, 1, s.get()});
    }
    for (auto &c : r.set.voices) {
        if (c->meta.fd >= 0) entries.push_back({&c->meta.fd, 2, c.get()});
        if (c->speech_fd >= 0) entries.push_back({&c->speech_fd, 3, c.get()});
    }
    for (auto &p : r.set.pages) {
        if (p->bits_fd >= 0 && p->bits.queue.size() <= queue_limit) entries.push_back({&p->bits_fd, 4, p.get()});
        if (p->pages.fd >= 0) entries.push_back({&p->pages.fd, 5, p.get()});
    }
    if (r.set.diagnostics_fd >= 0) entries.push_back({&r.set.diagnostics_fd, 6, nullptr});

    bool feeds_open = false;
    for (auto &s : r.set.sources) feeds_open |= s->samples.fd >= 0;
    for (auto &c : r.set.voices) feeds_open |= c->symbols.fd >= 0;
    for (auto &p : r.set.pages) feeds_open |= p->samples.fd >= 0 || p->bits.fd >= 0;
    bool readers_open = false;
    for (const poll_entry &e : entries) readers_open |= e.kind != 0 && e.kind != 6;
    for (auto &s : r.set.sources) readers_open |= s->out_fd >= 0;
    for (auto &p : r.set.pages) readers_open |= p->bits_fd >= 0;
    if (!feeds_open && !readers_open && r.input.at_end) return false;

    std::vector<pollfd> fds;
    for (const poll_entry &e : entries) fds.push_back({*e.fd, POLLIN, 0});
    int timeout = 100;
    if (throttled) timeout = 1;
    if (want_input && input_fd < 0) timeout = 0;
    int ready = poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) return false;
    if (want_input && input_fd < 0) read_input(r);

    for (size_t n = 0; ready > 0 && n < entries.size(); ++n) {
        if (!(fds[n].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        poll_entry &e = entries[n];
        switch (e.kind) {
            case 0:
                read_input(r);
                break;
            case 1: {
                auto *s = static_cast<symbol_source *>(e.owner);
                std::vector<feed *> to;
                for (voice_chain *c : s->chains) to.push_back(&c->symbols);
                forward(s->out_fd, to);
                break;
            }
            case 2: {
                auto *c = static_cast<voice_chain *>(e.owner);
                read_lines(c->meta, [&](std::string_view line) { handle_meta_line(r, *c, line); });
                break;
            }
            case 3:
                handle_speech(*static_cast<voice_chain *>(e.owner));
                break;
            case 4: {
                auto *p = static_cast<page_chain *>(e.owner);
                forward(p->bits_fd, {&p->bits});
                break;
            }
            case 5: {
                auto *p = static_cast<page_chain *>(e.owner);
                read_lines(p->pages, [&](std::string_view line) { handle_page_line(r, *p, line); });
                break;
            }
            case 6: {
                std::string dropped;
                read_some(r.set.diagnostics_fd, dropped);
                break;
            }
        }
    }
    check_timeouts(r);
    if (!r.held.empty()) release(r, reported_until(r));
    progress_update(r.progress, r.input.frames_read);
    return true;
}

// Ends the calls still open and closes every speech file.
void finish_calls(run_state &r, bool at_input_end) {
    double end = static_cast<double>(r.input.frames_read) / r.input.rate;
    for (auto &c : r.set.voices) {
        double now = at_input_end ? end : chain_time(*c);
        for (size_t k = 0; k < c->trackers.size(); ++k)
            if (auto e = end_call_if_silent(c->trackers[k], now, true)) present(r, *c, k, *e, false);
        speech_file_close(c->file);
    }
    release(r, INFINITY);
}

void close_everything(run_state &r) {
    for (auto &s : r.set.sources) {
        feed_close(s->samples);
        if (s->out_fd >= 0) close(s->out_fd);
    }
    for (auto &c : r.set.voices) {
        feed_close(c->symbols);
        for (int fd : {c->meta.fd, c->speech_fd})
            if (fd >= 0) close(fd);
    }
    for (auto &p : r.set.pages) {
        feed_close(p->samples);
        feed_close(p->bits);
        for (int fd : {p->bits_fd, p->pages.fd})
            if (fd >= 0) close(fd);
    }
    if (r.set.diagnostics_fd >= 0) close(r.set.diagnostics_fd);
}

bool prepare_audio_dir(const std::string &dir, std::string &error) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) && access(dir.c_str(), W_OK) == 0) return true;
        error = "'" + dir + "' is not a folder zelvane can write to";
        return false;
    }
    if (mkdir(dir.c_str(), 0777) == 0) return true;
    error = "cannot make the folder '" + dir + "': " + std::strerror(errno);
    return false;
}

}  // namespace

int run_zelvane(const zelvane_options &options, FILE *events_out, const volatile std::sig_atomic_t *stop,
                std::string &error) {
    run_state r{options, events_out, {}, {}, {}, {}, {}, {}, {}, false, {}};
    if (!prepare_audio_dir(options.audio_dir, error)) return 1;
    if (!open_sample_input(options, r.input, error)) return 1;
    std::string notice;
    bool started = start_chains(options, r.set, error, notice);
    if (started && !r.set.lock_demodulators) {
        started = resampler_open(r.to_20480, demod_rate, 20480, 1, error) &&
                  resampler_open(r.to_96000, demod_rate, 96000, 1, error);
    }
    if (!started) {
        close_everything(r);
        stop_children(r.set, true);
        close_sample_input(r.input);
        return 1;
    }
    if (!notice.empty() && !options.exact) std::fprintf(stderr, "zelvane: %s\n", notice.c_str());
    progress_init(r.progress,
                  options.progress && r.input.regular_file && r.input.total_frames > 0 && isatty(STDERR_FILENO),
                  r.input.total_frames, r.input.rate);

    bool stopped = false;
    bool live = input_wait_fd(r.input) >= 0;
    while (true) {
        if (*stop || r.output_failed) {
            stopped = true;
            break;
        }
        long long started = now_us();
        if (!step(r)) break;
        // A live stream arrives in small pieces: serving it at most every
        // live_period_us gathers a few pieces per pass, so that zelvane and
        // the chains wake up less often, for a few milliseconds of delay.
        long long spent = now_us() - started;
        if (live && !r.input.at_end && spent < live_period_us) usleep(static_cast<useconds_t>(live_period_us - spent));
    }
    progress_clear(r.progress);
    if (stopped) {
        stop_children(r.set, true);
        finish_calls(r, false);
    } else {
        finish_calls(r, true);
    }
    close_everything(r);
    stop_children(r.set, false);
    close_sample_input(r.input);
    resampler_close(r.to_20480);
    resampler_close(r.to_96000);
    if (stopped && *stop) return 130;
    return 0;
}
