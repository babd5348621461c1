// SPDX-License-Identifier: MIT
#pragma once
// The web monitor: a sink that serves a page and a small API while zelvane
// runs.
//
//   GET /                    the page (embedded at build time from app/web/)
//   GET /api/config          the page's settings (tile URL, history bound)
//   GET /api/events?since=N  JSON Lines of the kept events after N
//   GET /api/stream          Server-Sent Events, the same events live
//                            (?since=N or Last-Event-ID to catch up first)
//   GET /api/speech          Server-Sent Events of the speech being heard:
//                            "CALL_ID BASE64" of 8000 Hz 16-bit LE samples
//   GET /api/calls/ID/audio  the speech file written for a finished call
//
// Each event is its event_json object with "seq" (1, 2, ... in input order),
// "call_id" (where the event belongs to a call) and "summary" (signal, csbk
// and data events) added at its end.
//
// The server is cpp-httplib (Debian libcpp-httplib-dev): one header and a
// small library from the package archive, plain blocking sockets on a pool
// of threads of its own, chunked responses for the live streams, and
// nothing zelvane does not need (Boost.Beast would bring Asio and its
// callbacks, libwebsockets an event loop to integrate). A live stream holds
// a pool thread, which is why their number is bounded.
//
// take() and speech() run on the decoding thread and never wait on the
// network: they format the event, append it to the history and to each
// client's bounded queue, and return. A client whose queue overflows is
// dropped (its stream closes; the page reconnects and catches up from the
// history).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "http_options.h"
#include "sink.h"

struct http_sink_counts {
    uint64_t events = 0;           // events taken (page repeats not counted)
    uint64_t clients_dropped = 0;  // streams closed because they fell behind
    uint64_t streams_refused = 0;  // streams refused because max_streams were open
    size_t streams_open = 0;
};

class http_sink : public event_sink {
   public:
    ~http_sink() override;

    void take(event &e) override;
    void speech(uint64_t call_id, const int16_t *samples, size_t count) override;
    void finish(bool interrupted) override;

    // The port the server listens on (the one chosen when options.port was 0).
    int port() const;
    // True after an uninterrupted finish() when the options ask to keep
    // serving: the engine then waits for Ctrl-C before it destroys the sink.
    bool wants_to_linger() const;
    http_sink_counts counts() const;

    struct state;

   private:
    friend std::unique_ptr<http_sink> make_http_sink(const http_options &options, std::string &error);
    http_sink() = default;
    std::unique_ptr<state> state_;
};

// Starts the server on options.address:options.port (check_http_options
// first). Null with a one-line error when it cannot listen there.
std::unique_ptr<http_sink> make_http_sink(const http_options &options, std::string &error);
