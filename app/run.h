// SPDX-License-Identifier: MIT
#pragma once
// One run of zelvane: the chains of programs started as child processes,
// the input fed to them, their reports turned into events, the speech into
// files, until the input ends or the run is stopped.

#include <csignal>
#include <cstdio>
#include <string>

#include "options.h"

// Runs the options' decoding, writing events to events_out. stop is polled:
// once it is non-zero the run ends every child and closes every file. Returns
// the exit status: 0 after the whole input, 130 when stopped, 1 with a
// one-line reason in error when the run could not start.
int run_zelvane(const zelvane_options &options, FILE *events_out, const volatile std::sig_atomic_t *stop,
                std::string &error);
