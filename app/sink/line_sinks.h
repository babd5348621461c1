// SPDX-License-Identifier: MIT
#pragma once
// The events on standard output: readable lines, or JSON Lines (-j).

#include <csignal>
#include <functional>
#include <memory>

#include "sink.h"

// before_line is called before each line goes out (the progress bar takes
// itself off the terminal). stop is the run's stop request.
std::unique_ptr<event_sink> make_text_sink(int fd, const volatile std::sig_atomic_t *stop,
                                           std::function<void()> before_line);
std::unique_ptr<event_sink> make_json_sink(int fd, const volatile std::sig_atomic_t *stop,
                                           std::function<void()> before_line);

// True once the reader of a line sink's output has gone away: the run ends
// as the receiving programs end then, with status 0.
bool line_sink_reader_gone(const event_sink &sink);
