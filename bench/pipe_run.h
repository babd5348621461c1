// SPDX-License-Identifier: MIT
#pragma once
// Runs one program of the suite as a process for the throughput benchmarks:
// its standard input is a pipe fed with a repeated pattern, its standard
// output and error go to /dev/null. Its peak resident size is read from /proc
// once all input is written, so it counts none of the benchmark's own pages.

#include <cstddef>
#include <string>
#include <vector>

struct pipe_run {
    double wall_seconds = 0;  // from the first write to the program's end
    double cpu_seconds = 0;   // the program's own user and system time
    long peak_kib = 0;        // the program's peak resident memory
    bool exited_zero = false;
};

// Feeds total_bytes to path (started with args), repeating pattern
// (pattern_bytes long, not empty) as often as needed.
pipe_run run_through_pipe(const std::string &path, const std::vector<std::string> &args, const void *pattern,
                          std::size_t pattern_bytes, std::size_t total_bytes);

// Items per CPU second, 0 when no CPU time was measured.
inline double per_cpu_second(const pipe_run &run, std::size_t items) {
    return run.cpu_seconds > 0 ? static_cast<double>(items) / run.cpu_seconds : 0;
}

// The text printed after a run's figures: empty, or why it is suspect.
inline const char *exit_remark(const pipe_run &run) { return run.exited_zero ? "" : "(did not exit 0)"; }
