// SPDX-License-Identifier: MIT
#pragma once
// Pages from the page lines of the POCSAG chains, with the copies that more
// than one chain decodes (both polarities, neighbouring rates) merged.

#include <deque>
#include <optional>
#include <string_view>

#include "event.h"

// The page of one page line ("address:N;[function:F;]message:TEXT", without
// its newline); nothing for a line of another form.
std::optional<call_event> parse_page_line(std::string_view line, int baud, double time);

// Pages already reported, kept for the merge window.
struct page_merge {
    std::deque<call_event> recent;
};

// Two decodes of one page: the same address and text within this many
// seconds of input.
inline constexpr double page_merge_seconds = 1.0;

// True if page is new and must be reported; false if it repeats a page
// reported within page_merge_seconds.
bool accept_page(page_merge &merge, const call_event &page);
