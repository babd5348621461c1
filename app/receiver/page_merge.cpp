// SPDX-License-Identifier: MIT
#include "page_merge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "line_fields.h"

namespace {

bool whole_number(const std::string &text, long low, long high, long &value) {
    if (text.empty()) return false;
    char *end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == 0 && value >= low && value <= high;
}

bool same_page(const event &a, const event &b) {
    return a.address == b.address && a.function == b.function && a.message == b.message;
}

}  // namespace

std::optional<event> parse_page_line(std::string_view line, int baud, double time) {
    line_fields fields = split_fields(line);
    if (fields.fields.empty() || fields.fields.front().first != "address" || !has_field(fields, "message"))
        return std::nullopt;
    event page;
    page.protocol = event_protocol::pocsag;
    page.kind = event_kind::page;
    page.time = time;
    page.baud = baud;
    if (!whole_number(field_or(fields, "address"), 0, 2097151, page.address)) return std::nullopt;
    long function = -1;
    if (has_field(fields, "function") && !whole_number(field_or(fields, "function"), 0, 3, function))
        return std::nullopt;
    page.function = static_cast<int>(function);
    page.message = unescape_received(field_or(fields, "message"));
    // The fill a transmitter sends after the text (NUL, ETX, EOT) is no part
    // of what the pager shows.
    while (!page.message.empty() &&
           (page.message.back() == 0 || page.message.back() == 0x03 || page.message.back() == 0x04))
        page.message.pop_back();
    return page;
}

page_verdict merge_page(page_merge &merge, const event &page, event **reported) {
    const double window = std::max(merge.window, page_merge_seconds);
    // A repeat moves its page's time on, so old pages may lie anywhere.
    std::erase_if(merge.recent, [&](const event &kept) { return page.time - kept.time > window; });
    for (auto it = merge.recent.rbegin(); it != merge.recent.rend(); ++it) {
        if (!same_page(*it, page)) continue;
        *reported = &*it;
        if (page.time - it->time <= page_merge_seconds) {
            if (page.frequency != 0 && std::find(it->frequencies.begin(), it->frequencies.end(), page.frequency) ==
                                           it->frequencies.end())
                it->frequencies.push_back(page.frequency);
            return page_verdict::copy;
        }
        ++it->repeats;
        it->time = page.time;  // the window runs from the latest reception
        return page_verdict::repeat;
    }
    merge.recent.push_back(page);
    merge.recent.back().repeats = 1;
    if (page.frequency != 0) merge.recent.back().frequencies = {page.frequency};
    *reported = &merge.recent.back();
    return page_verdict::fresh;
}
