// SPDX-License-Identifier: MIT
#pragma once
// Pages from the page lines of the POCSAG chains, with the copies merged:
// the same page decoded by more than one chain (both polarities,
// neighbouring rates, the channels of a simulcast network) within a second
// is one page, and the same page sent again within the duplicate window is
// a repeat of the page reported.

#include <deque>
#include <optional>
#include <string_view>

#include "event.h"

// The page of one page line ("address:N;[function:F;]message:TEXT", without
// its newline); nothing for a line of another form. Trailing fill (NUL, ETX,
// EOT) is taken off the text.
std::optional<event> parse_page_line(std::string_view line, int baud, double time);

// Two decodes of one transmission: the same address, function and text
// within this many seconds of input.
inline constexpr double page_merge_seconds = 1.0;

// Pages already reported, kept for the duplicate window.
struct page_merge {
    double window = page_merge_seconds;  // the duplicate window, at least page_merge_seconds
    std::deque<event> recent;            // reported pages, oldest first, with their receptions in repeats
};

enum class page_verdict {
    fresh,   // a new page: report it
    copy,    // another decode of a page just reported (its frequency, if new, added to it)
    repeat,  // the page again within the window: repeat tells how often it has now been received
};

// Sorts page into one of the three; page times must not go backwards by
// more than the window. For copy and repeat, *reported is the remembered page.
page_verdict merge_page(page_merge &merge, const event &page, event **reported);
