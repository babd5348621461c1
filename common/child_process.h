// SPDX-License-Identifier: MIT
#pragma once
// Starting the suite's programs as child processes joined by pipes, and
// finding them: the one launcher of the front door, the tests and the
// benchmarks.

#include <sys/types.h>

#include <string>
#include <vector>

// The descriptors a child gets: its standard streams, and up to two more as
// its descriptors 3 and 4. -1 gives a standard stream /dev/null (and 3 or 4
// nothing); child_fds::closed leaves the child's descriptor closed. Every
// other descriptor of the parent is close-on-exec and stays out of the child.
struct child_fds {
    static constexpr int closed = -2;
    int in = -1, out = -1, err = -1, fd3 = -1, fd4 = -1;
};

// Starts path with args, with SIGPIPE, SIGINT and SIGTERM at their default
// actions and no signal blocked; the child's pid, or -1 with a reason in
// error. A program that cannot be executed ends the child with status 127.
pid_t spawn_child(const std::string &path, const std::vector<std::string> &args, const child_fds &fds,
                  std::string &error);

// The path of program: next to zelvane's own executable (the build tree's
// bin/ and an install prefix alike), else on PATH; empty if neither has it.
std::string find_program(const std::string &program);

// A pipe with both ends close-on-exec: [0] to read, [1] to write. False if
// the system refuses.
bool make_pipe(int fds[2]);

// Bytes written into the pipe of fd and not yet read by its reader.
size_t unread_bytes(int fd);
