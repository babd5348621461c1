// SPDX-License-Identifier: MIT
// The receiver of one channel (every protocol's decoders in both
// polarities) on arbitrary discriminator samples: the input after its first
// byte is float samples (NaN, infinities and subnormals included), handed
// over in uneven pieces; the first byte picks the exact slicers (bit 0),
// speech (bit 1, through the silent stand-in of the vocoder) and the piece
// sizes (the rest).
//
// Checked: every report is stamped at or after the horizon the receiver gave
// before it, and within the input; a call's events share its number, start
// with its call and end once; at most one call of a DMR slot or of System
// Fusion is shown at a time; speech comes in whole frames, only for a call
// being shown; every call ends by finish().

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "event_forms.h"
#include "fuzz_support.h"
#include "receiver.h"

namespace {

constexpr double channel_rate = 48000.0;
constexpr std::size_t frame_samples = 160;  // one vocoder frame at 8000/s

struct call_checks {
    std::map<uint64_t, int> open;  // call number: its stream (protocol and slot)
    std::set<uint64_t> ended;
    std::set<int> streams_shown;

    void take(const std::vector<receiver_item> &items, std::size_t from, double horizon, double end) {
        for (std::size_t k = from; k < items.size(); ++k) {
            const receiver_item &item = items[k];
            if (!std::isfinite(item.time)) fuzz_fail("a report without a finite time");
            if (item.time < horizon - 1e-9) fuzz_fail("a report stamped before the receiver's horizon");
            if (item.time > end + 0.1) fuzz_fail("a report stamped after the input");
            if (item.is_speech) {
                if (item.speech.size() % frame_samples != 0) fuzz_fail("speech that is not whole frames");
                if (!open.count(item.call_id)) fuzz_fail("speech of a call not being shown");
                continue;
            }
            const event &e = item.report;
            if (e.protocol == event_protocol::pocsag) {
                if (e.kind != event_kind::page || e.call_id != 0) fuzz_fail("a page report of the wrong kind");
                if (e.address < 0 || e.address > 2097151) fuzz_fail("a page address out of range");
                continue;
            }
            // The channel's own reports: its signal, CSBKs, data messages.
            if (e.kind == event_kind::signal || e.kind == event_kind::csbk || e.kind == event_kind::data) {
                if (e.call_id != 0) fuzz_fail("a channel report with a call number");
                if (e.kind != event_kind::signal && (e.slot < 1 || e.slot > 2)) fuzz_fail("a report of no timeslot");
                if (e.kind == event_kind::signal && e.protocol == event_protocol::ysf && !e.extra.empty() &&
                    e.extra[0].key != "state")
                    fuzz_fail("a signal report without its state");
                continue;
            }
            const int stream = e.protocol == event_protocol::dmr ? e.slot : 0;
            if (e.protocol == event_protocol::dmr && e.slot != 1 && e.slot != 2) fuzz_fail("a DMR slot not 1 or 2");
            if (e.call_id == 0) fuzz_fail("a call's event without its call number");
            if (ended.count(e.call_id)) fuzz_fail("an event of a call that has ended");
            auto it = open.find(e.call_id);
            if (e.kind == event_kind::call) {
                if (it == open.end()) {
                    if (!streams_shown.insert(stream).second)
                        fuzz_fail("two calls of one slot shown at once (both polarities?)");
                    open[e.call_id] = stream;
                } else if (it->second != stream) {
                    fuzz_fail("a call changed its slot");
                }
            } else if (e.kind == event_kind::call_end) {
                if (it == open.end()) fuzz_fail("a call-end of a call never shown");
                if (!(e.duration >= 0)) fuzz_fail("a negative call duration");
                streams_shown.erase(it->second);
                open.erase(it);
                ended.insert(e.call_id);
            } else {
                fuzz_fail("a receiver report of an unexpected kind");
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    receiver_settings settings;
    settings.exact = (data[0] & 1) != 0;
    settings.speech = (data[0] & 2) != 0;
    const unsigned piece_seed = data[0] >> 2;
    ++data;
    --size;
    std::vector<float> samples(size / sizeof(float));
    if (!samples.empty()) std::memcpy(samples.data(), data, samples.size() * sizeof(float));

    uint64_t next_call_id = 0;
    std::vector<receiver_item> items;
    receiver r(settings, &next_call_id, &items);
    std::string error;
    if (!r.ready(error)) fuzz_fail("the receiver could not be set up");

    call_checks checks;
    std::size_t at = 0;
    for (unsigned k = 0; at < samples.size(); ++k) {
        // 1 to 1500 samples, unevenly: a piece may end inside a demodulator
        // block, or hold several.
        const std::size_t piece = 1 + (k * 389u + piece_seed * 97u) % 1500u;
        const std::size_t n = std::min(piece, samples.size() - at);
        const double horizon = r.horizon();
        const std::size_t before = items.size();
        r.process(samples.data() + at, n);
        at += n;
        if (r.horizon() < horizon) fuzz_fail("the horizon went back");
        checks.take(items, before, horizon, static_cast<double>(at) / channel_rate);
    }
    const double horizon = r.horizon();
    const std::size_t before = items.size();
    r.finish();
    checks.take(items, before, horizon, static_cast<double>(samples.size()) / channel_rate);
    if (r.samples() != static_cast<long long>(samples.size())) fuzz_fail("samples taken is not the samples given");
    if (!checks.open.empty()) fuzz_fail("a call still open after finish()");
    // Replaying one input with ZELVANE_FUZZ_SHOW set shows what it gave.
    static const bool show = std::getenv("ZELVANE_FUZZ_SHOW") != nullptr;
    if (show) {
        for (const receiver_item &item : items) {
            if (item.is_speech)
                std::fprintf(stderr, "%9.3f  speech of call %llu, %zu samples\n", item.time,
                             static_cast<unsigned long long>(item.call_id), item.speech.size());
            else
                std::fprintf(stderr, "%s", event_text(item.report).c_str());
        }
    }
    return 0;
}
