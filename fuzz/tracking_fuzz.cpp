// SPDX-License-Identifier: MIT
// Call tracking and page merging on arbitrary decoder lines: the input,
// split at newlines, is fed as metadata lines to the trackers of DMR slots
// 1 and 2 and of System Fusion, and as page lines to the page merge, each
// line later than the one before (by its length: 0 to 1.75 s, so silences
// that end calls come too). The first byte sets the duplicate window.
//
// Checked: every event is stamped with the time of the line (or tick) that
// caused it, so times never go backwards; a call-end ends a call that was
// announced, its duration within the call; every call ends at the end of
// input; the verdict on each page is the one its receptions call for (a
// copy within a second, a repeat within the window from its latest
// reception, fresh otherwise), and no page older than the window is kept.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "call_tracker.h"
#include "fuzz_support.h"
#include "page_merge.h"

namespace {

// What the checks know of one tracker's calls.
struct follower {
    bool open = false;  // a call was announced and has not ended
    double started = 0;
    double last = -std::numeric_limits<double>::infinity();
};

void check_events(const call_tracker &tracker, follower &f, const std::vector<event> &events, double time) {
    for (const event &e : events) {
        if (e.time != time) fuzz_fail("an event not stamped with the time of its line");
        if (e.time < f.last) fuzz_fail("event times went backwards");
        f.last = e.time;
        if (e.protocol != tracker.protocol) fuzz_fail("an event of another protocol");
        if (tracker.protocol == event_protocol::dmr && e.slot != tracker.slot + 1)
            fuzz_fail("a DMR event of another slot");
        if (e.has_position && !(e.lat >= -90 && e.lat <= 90 && e.lon >= -180 && e.lon <= 180))
            fuzz_fail("a position off the earth");
        if (e.kind == event_kind::call) {
            if (!f.open) f.started = e.time;
            f.open = true;
        } else if (e.kind == event_kind::call_end) {
            if (!f.open) fuzz_fail("a call-end of no call");
            if (!(e.duration >= 0) || e.duration > e.time - f.started + 1e-9)
                fuzz_fail("a call's duration outside the call");
            f.open = false;
        } else {
            fuzz_fail("a tracker gave an event that is neither call nor call-end");
        }
    }
}

using page_key = std::tuple<long, int, std::string>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    page_merge merge;
    merge.window = 1 + (data[0] & 0x3F);
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);

    call_tracker trackers[3];
    trackers[0].protocol = event_protocol::dmr;
    trackers[0].slot = 0;
    trackers[1].protocol = event_protocol::dmr;
    trackers[1].slot = 1;
    trackers[2].protocol = event_protocol::ysf;
    follower followers[3];

    // Each page's latest reception that was not a copy (its fresh report
    // or latest repeat).
    std::map<page_key, double> anchors;

    double time = 0;
    std::size_t count = 0;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++count;
        time += static_cast<double>(line.size() % 8) * 0.25;

        for (int k = 0; k < 3; ++k) {
            check_events(trackers[k], followers[k], track_line(trackers[k], line, time), time);
            if (line.size() % 3 == 0) track_alive(trackers[k], time);
            check_events(trackers[k], followers[k], track_time(trackers[k], time, false), time);
        }

        static constexpr int bauds[3] = {512, 1200, 2400};
        std::optional<event> page = parse_page_line(line, bauds[count % 3], time);
        if (!page) continue;
        if (page->address < 0 || page->address > 2097151 || page->function < -1 || page->function > 3)
            fuzz_fail("a page with an address or function out of range");
        if (!page->message.empty() &&
            (page->message.back() == 0 || page->message.back() == 0x03 || page->message.back() == 0x04))
            fuzz_fail("a page text that keeps its trailing fill");
        if (page->message.size() > line.size()) fuzz_fail("a page text longer than its line");
        page->frequency = 439000000 + static_cast<int64_t>(line.size() % 3) * 12500;

        const page_key key{page->address, page->function, page->message};
        auto anchor = anchors.find(key);
        page_verdict expected = page_verdict::fresh;
        if (anchor != anchors.end() && time - anchor->second <= merge.window)
            expected = time - anchor->second <= page_merge_seconds ? page_verdict::copy : page_verdict::repeat;
        if (expected != page_verdict::copy) anchors[key] = time;

        event *reported = nullptr;
        const page_verdict verdict = merge_page(merge, *page, &reported);
        if (verdict != expected) fuzz_fail("a page's verdict is not the one its receptions call for");
        if (!reported || reported->address != page->address || reported->message != page->message)
            fuzz_fail("the page reported is not the page received");
        if (verdict == page_verdict::copy && std::find(reported->frequencies.begin(), reported->frequencies.end(),
                                                       page->frequency) == reported->frequencies.end())
            fuzz_fail("a copy's frequency was not added to its page");
        for (const event &kept : merge.recent)
            if (time - kept.time > merge.window) fuzz_fail("a page older than the duplicate window is kept");
    }

    time += 0.25;
    for (int k = 0; k < 3; ++k) {
        check_events(trackers[k], followers[k], track_time(trackers[k], time, true), time);
        if (followers[k].open || trackers[k].active) fuzz_fail("a call still open at the end of input");
    }
    return 0;
}
