// SPDX-License-Identifier: MIT
#pragma once
// Starting the suite's programs as child processes joined by pipes, and
// finding them.

#include <sys/types.h>

#include <string>
#include <vector>

// The descriptors a child gets: its standard streams, and up to two more as
// its descriptors 3 and 4 (-1: none). Every other descriptor of zelvane is
// close-on-exec and stays out of the child.
struct child_fds {
    int in = -1, out = -1, err = -1, fd3 = -1, fd4 = -1;
};

// Starts path with args; the child's pid, or -1 with a reason in error.
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
