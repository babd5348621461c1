// SPDX-License-Identifier: MIT
#pragma once
// Test support for whole receiving chains: airmint and the receiving
// programs as real processes joined by pipes, with the decoder's metadata on
// a real named pipe.

#include <string>
#include <vector>

#include "testing/process.h"

struct chain_result {
    std::string out;   // standard output of the last program
    std::string err;   // standard error of all of them
    std::string meta;  // what arrived on the metadata fifo
    int exit_code = -1;
};

// Runs the shell pipeline script under /bin/sh with the positional
// parameters $1, $2, ... set to args; "$META" in the script names a fresh
// named pipe whose contents come back in meta. The pipe is opened for
// reading before the pipeline starts, so a decoder's open never waits and
// its lines wait in the pipe until the pipeline has ended.
chain_result run_chain(const std::string &script, const std::vector<std::string> &args);

// The given words as shell-quoted text, for building scripts.
std::string shell_words(const std::vector<std::string> &words);
