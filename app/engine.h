// SPDX-License-Identifier: MIT
#pragma once
// One run of zelvane: the source read, its channel decoded by a receiver
// in-process, the reports put in input order and handed to the sinks that
// the options chose, until the input ends or the run is asked to stop.

#include <csignal>
#include <string>

#include "options.h"

// Runs the options' decoding; events go to standard output. stop is polled:
// once it is non-zero the run ends the open calls and finishes every sink.
// Returns the exit status: 0 after the whole input (or when the reader of
// standard output went away), 130 when stopped, 1 with a one-line reason in
// error when the run could not start or its output failed.
int run_engine(const zelvane_options &options, const volatile std::sig_atomic_t *stop, std::string &error);
