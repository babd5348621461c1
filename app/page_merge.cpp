// SPDX-License-Identifier: MIT
#include "page_merge.h"

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

}  // namespace

std::optional<call_event> parse_page_line(std::string_view line, int baud, double time) {
    line_fields fields = split_fields(line);
    if (fields.fields.empty() || fields.fields.front().first != "address" || !has_field(fields, "message"))
        return std::nullopt;
    call_event page;
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
    return page;
}

bool accept_page(page_merge &merge, const call_event &page) {
    while (!merge.recent.empty() && std::fabs(page.time - merge.recent.front().time) > 4 * page_merge_seconds &&
           merge.recent.front().time < page.time)
        merge.recent.pop_front();
    for (const call_event &seen : merge.recent)
        if (seen.address == page.address && seen.message == page.message &&
            std::fabs(seen.time - page.time) <= page_merge_seconds)
            return false;
    merge.recent.push_back(page);
    return true;
}
