// SPDX-License-Identifier: MIT
#pragma once
// One output of zelvane. The engine hands every sink the same things, in
// input order, from its one decoding thread: each event, the speech of the
// calls being reported, and the end of the run. A sink that does I/O that
// may block (network, database) does it on a thread of its own behind a
// bounded queue, so that it never holds back decoding or another sink.

#include <cstddef>
#include <cstdint>
#include <string>

#include "event.h"

class event_sink {
   public:
    virtual ~event_sink() = default;

    // One event. Sinks are called in the order the options made them; a
    // sink earlier in that order may add to the event what later ones
    // report (the speech files name a call's file on its call-end).
    virtual void take(event &e) = 0;

    // Speech of the call call_id (8000 samples/s, 16-bit), in order with its
    // events: after the call's first event, before its call-end.
    virtual void speech(uint64_t call_id, const int16_t *samples, size_t count) {
        (void)call_id;
        (void)samples;
        (void)count;
    }

    // The end of the run, after the last event: the input ended, or the run
    // was stopped (interrupted). Sinks finish their files and queues here;
    // a networked sink waits at most a moment for what it still holds.
    virtual void finish(bool interrupted) { (void)interrupted; }

    // True once a failure has happened that must end the run with status 1
    // (the events' own output failed); message is one line, no newline.
    virtual bool failed(std::string &message) const {
        (void)message;
        return false;
    }
};
