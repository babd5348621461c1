// SPDX-License-Identifier: MIT
#pragma once
// Receiving chains for the benchmarks: programs of the suite started as real
// processes and joined by pipes, as a user's shell would join them, with the
// CPU time of every stage taken from the kernel when it ends and its peak
// resident memory watched while it runs.

#include <cstddef>
#include <string>
#include <vector>

// What one stage of a chain cost.
struct stage_usage {
    double cpu_seconds = 0;  // user and system time
    long peak_kib = 0;       // peak resident set size of the program, as last seen while it ran
    int status = -1;         // wait status
};

struct chain_run {
    std::vector<stage_usage> stages;
    double wall_seconds = 0;
    bool timed_out = false;
    // Every stage ended by itself with status 0.
    bool clean = false;
};

// One stage: the program's path and its arguments.
using chain_stage = std::vector<std::string>;

// Runs the stages joined by pipes: the first reads input_path ("" for an
// empty input), the last writes output_path ("" for /dev/null), and all
// write their diagnostics to error_path ("" for /dev/null). Waits until all
// have ended, or kills them after timeout_seconds. Safe to call from several
// threads at once.
chain_run run_chain(const std::vector<chain_stage> &stages, const std::string &input_path,
                    const std::string &output_path, const std::string &error_path, double timeout_seconds);

// Seconds on a monotonic clock.
double monotonic_seconds();

// The stages as a shell command line, for printing what was run.
std::string chain_text(const std::vector<chain_stage> &stages, const std::string &input_path,
                       const std::string &output_path);

// The whole file as bytes ("" if it cannot be read).
std::string read_whole_file(const std::string &path);

// Writes bytes to path; false if it could not be written whole.
bool write_file(const std::string &path, const std::string &bytes);

// The value of "key:" in a metadata line ("key:value;"), or false.
bool field(const std::string &line, const std::string &key, std::string &value);

// Counts the received units (unit bytes each) that match sent units in
// order: each sent unit is taken at most once and only after the one matched
// before it, so a unit dropped or received with errors costs exactly that
// unit.
long units_in_order(const std::string &received, const std::vector<std::string> &sent, std::size_t unit);

// A fresh private directory under TMPDIR (or /tmp); "" on failure.
std::string make_work_dir(const char *prefix);

// Removes a directory made by make_work_dir and the files in it.
void remove_work_dir(const std::string &dir);
