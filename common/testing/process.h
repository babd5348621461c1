// SPDX-License-Identifier: MIT
#pragma once
// Running programs of the suite as real processes: for the end-to-end tests
// (joined to the test by pipes, fed their standard input, their standard
// output, standard error and exit status collected) and for the benchmarks
// (spawn_process and process_peak_kib), so that every process the suite's
// tests and benchmarks start is started in one way.

#include <sys/types.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// How the program's standard descriptors differ from three pipes to the test.
struct program_setup {
    int closed_fd = -1;       // a descriptor (0, 1 or 2) left closed in the program, -1 for none
    std::string stdout_path;  // a file standard output is opened on instead of a pipe ("" for the pipe)
};

// Starts argv[0] (a path, not searched on PATH) through spawn_child (the
// suite's one launcher, common/child_process.h) with the words of argv as its
// arguments and in, out and err as its standard input, output and error. The
// descriptors should be close-on-exec in the caller (pipe2 with O_CLOEXEC, or
// open with O_CLOEXEC), so that the program holds no other process's pipe
// end open. SIGPIPE has its default action in the program even where the
// caller ignores it. setup can send standard output to a file instead, or
// leave one standard descriptor closed. Returns the process id, or -1 if it
// could not be started.
pid_t spawn_process(const std::vector<std::string> &argv, int in, int out, int err, const program_setup &setup = {});

// The peak resident set size of a running process's present program image
// (VmHWM of /proc/PID/status) in KiB, or -1 once it has ended. Taken while it
// runs: the kernel's figure at the end (ru_maxrss) also counts the image it
// was started from, a copy of the caller.
long process_peak_kib(pid_t pid);

struct program_result {
    std::string out;
    std::string err;
    int exit_code = -1;  // exit status, -1 if the process did not exit normally, 127 if it could not start
    int signal = 0;      // the signal that ended it, 0 if none
    bool timed_out = false;
};

// Runs path with args, writes input to its standard input (in pieces of
// chunk_size bytes if chunk_size > 0, else all at once), closes it, and
// collects everything until the process ends. A process still running after
// timeout_ms is killed and reported as timed out.
program_result run_program(const std::string &path, const std::vector<std::string> &args, const std::string &input,
                           std::size_t chunk_size = 0, int timeout_ms = 60000, const program_setup &setup = {});

// A program left running, for tests that talk to it block by block.
struct running_program {
    pid_t pid = -1;
    int in = -1;   // its standard input (write end)
    int out = -1;  // its standard output (read end)
    int err = -1;  // its standard error (read end)
};

running_program start_program(const std::string &path, const std::vector<std::string> &args,
                              const program_setup &setup = {});

// Writes all of data to the program's standard input; false if the pipe failed.
bool write_input(running_program &program, const std::string &data);

// Reads from the program's standard output until n bytes have arrived or
// timeout_ms has passed without them; returns what arrived.
std::string read_output(running_program &program, std::size_t n, int timeout_ms = 10000);

// Closes standard input, collects the rest of both outputs and waits for the
// process (killing it after timeout_ms).
program_result finish_program(running_program &program, int timeout_ms = 60000);

// A fresh private directory under the system's temporary folder.
std::string make_temp_dir();

// Reads a whole file; empty if it cannot be read.
std::string read_file(const std::string &path);

// The bytes of a vector of trivially copyable values, in memory order.
template <typename T>
std::string as_bytes(const std::vector<T> &values) {
    return std::string(reinterpret_cast<const char *>(values.data()), values.size() * sizeof(T));
}

// The values held by a byte string (a trailing partial value is dropped).
template <typename T>
std::vector<T> from_bytes(const std::string &bytes) {
    std::vector<T> values(bytes.size() / sizeof(T));
    if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
    return values;
}
