#pragma once
// Test support: run a program of the suite as a real process joined to the
// test by pipes, feed its standard input and collect its standard output,
// standard error and exit status.

#include <sys/types.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

struct program_result {
    std::string out;
    std::string err;
    int exit_code = -1;  // exit status, or -1 if the process did not exit normally
    int signal = 0;      // the signal that ended it, 0 if none
    bool timed_out = false;
};

// How the program's standard descriptors differ from three pipes to the test.
struct program_setup {
    int closed_fd = -1;       // a descriptor (0, 1 or 2) left closed in the program, -1 for none
    std::string stdout_path;  // a file standard output is opened on instead of a pipe ("" for the pipe)
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
