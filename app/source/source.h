// SPDX-License-Identifier: MIT
#pragma once
// Where zelvane's samples come from: a file, a pipe, a named pipe or a
// network stream. A source delivers frames as floats, one per frame of
// discriminator audio, or I and Q interleaved for complex IQ; it knows its
// rate and whether it is live.

#include <cstdint>
#include <string>
#include <vector>

struct source_info {
    double rate = 0;              // frames per second
    bool complex = false;         // IQ: two floats a frame, I first
    bool live = false;            // a pipe or a network stream: read as it comes
    long long total_frames = -1;  // a file's length, when known
};

// A stretch of input that never arrived (a network stream lost and
// reconnected): frames before `at` arrived, then the stream resumed.
struct source_gap {
    long long at = 0;  // frames delivered before the gap
    std::string what;  // one line: what happened ("connection to HOST:PORT lost: REASON")
};

class sample_source {
   public:
    virtual ~sample_source() = default;

    virtual const source_info &info() const = 0;

    // Appends the frames available now (at most max_frames) to out. A live
    // source waits at most timeout_ms for its first frame; a file never
    // waits. False once the input has ended (out may still have received
    // its last frames). error is set when it ended by a failure.
    virtual bool read(std::vector<float> &out, size_t max_frames, int timeout_ms) = 0;

    // Gaps since the last call, oldest first.
    virtual std::vector<source_gap> take_gaps() { return {}; }

    // A descriptor that becomes readable when read() has frames (-1: none);
    // lets the engine wait on the input and a signal at once.
    virtual int wait_fd() const { return -1; }

    // Why the input ended, when it ended by a failure; empty otherwise.
    virtual std::string error() const { return {}; }
};
