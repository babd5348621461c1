// SPDX-License-Identifier: MIT
#pragma once
// The bounded queue between the decoding thread and a sink's own I/O thread.
// Decoding never waits on it: a push into a full queue drops the oldest item
// and counts it, so that a stalled database or an unreachable broker costs
// the oldest events, never time on the decoding thread or memory without
// bound.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

template <typename T>
class bounded_queue {
   public:
    explicit bounded_queue(size_t limit) : limit_(limit < 1 ? 1 : limit) {}

    // Adds item at the back; a full queue first drops its oldest item.
    // Returns false if the queue was full (one item was dropped).
    bool push(T item) {
        bool kept_all = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (items_.size() >= limit_) {
                items_.pop_front();
                ++dropped_;
                kept_all = false;
            }
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
        return kept_all;
    }

    // Takes the oldest item, waiting up to wait for one. False when none came
    // in time, or the queue is closed and empty.
    bool pop(T &item, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_for(lock, wait, [this] { return !items_.empty() || closed_; })) return false;
        if (items_.empty()) return false;
        item = std::move(items_.front());
        items_.pop_front();
        ++busy_;
        return true;
    }

    // The consumer says that the item it took last is dealt with (written,
    // handed to the network library or given up).
    void done() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (busy_ > 0) --busy_;
        }
        idle_.notify_all();
    }

    // Waits until every item pushed so far has been taken and dealt with,
    // for at most wait; true if so.
    bool wait_idle(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        return idle_.wait_for(lock, wait, [this] { return items_.empty() && busy_ == 0; });
    }

    // No more items will come: pop returns false once the queue is empty.
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

    // Items dropped since the last call.
    uint64_t take_dropped() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(dropped_, 0);
    }

    size_t size() {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_.size();
    }

    size_t limit() const { return limit_; }

   private:
    const size_t limit_;
    std::mutex mutex_;
    std::condition_variable ready_, idle_;
    std::deque<T> items_;
    size_t busy_ = 0;
    uint64_t dropped_ = 0;
    bool closed_ = false;
};
