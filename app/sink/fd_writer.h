// SPDX-License-Identifier: MIT
#pragma once
// Writes lines to a descriptor (standard output) without letting a stalled
// reader hold the run: while the descriptor takes nothing, the writer waits
// in short polls and gives up as soon as the run is asked to stop. A reader
// that went away ends the output quietly, as the receiving programs end;
// any other failure (a full disk, an I/O error) is kept as one line.

#include <csignal>
#include <string>

struct fd_writer {
    int fd = 1;
    const volatile std::sig_atomic_t *stop = nullptr;  // the run's stop request
    bool gone = false;    // the reader went away (EPIPE)
    std::string failure;  // why writing failed, empty while it works
};

// Writes all of text unless the reader is gone, writing has failed or the
// run is asked to stop. True if it all went out.
bool fd_write(fd_writer &w, const std::string &text);
