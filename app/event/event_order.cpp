// SPDX-License-Identifier: MIT
#include "event_order.h"

#include <algorithm>

void order_take(event_order &order, std::vector<receiver_item> &items) {
    if (items.empty()) return;
    // Each receiver reports in nearly increasing time; a stable merge keeps
    // the order of reports of equal time.
    std::stable_sort(items.begin(), items.end(),
                     [](const receiver_item &a, const receiver_item &b) { return a.time < b.time; });
    const auto middle = static_cast<long>(order.held.size());
    order.held.insert(order.held.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    std::inplace_merge(order.held.begin(), order.held.begin() + middle, order.held.end(),
                       [](const receiver_item &a, const receiver_item &b) { return a.time < b.time; });
    items.clear();
}

void order_release(event_order &order, double until, std::vector<receiver_item> &out) {
    size_t n = 0;
    while (n < order.held.size() && order.held[n].time <= until) ++n;
    out.insert(out.end(), std::make_move_iterator(order.held.begin()),
               std::make_move_iterator(order.held.begin() + static_cast<long>(n)));
    order.held.erase(order.held.begin(), order.held.begin() + static_cast<long>(n));
}
