// SPDX-License-Identifier: MIT
#pragma once
// The event order: holds what the receivers reported until every channel's
// decoders have passed its time, then releases it oldest first, so that the
// events of all channels come out in input order. Reports of equal time
// keep the order they were made in. Its only job.

#include <cstddef>
#include <vector>

#include "receiver.h"

struct event_order {
    std::vector<receiver_item> held;  // sorted by time, in arrival order within a time
};

// Takes the receivers' new items (items is emptied).
void order_take(event_order &order, std::vector<receiver_item> &items);

// Moves the items of time up to until (all of them for infinity), oldest
// first, into out.
void order_release(event_order &order, double until, std::vector<receiver_item> &out);
