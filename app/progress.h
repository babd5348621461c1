// SPDX-License-Identifier: MIT
#pragma once
// The progress bar on standard error while a file is decoded to a terminal.

struct progress_bar {
    bool shown = false;      // a terminal and a file of known length
    bool drawn = false;      // the bar is on the screen now
    long long total = 0;     // input frames
    double rate = 1;         // input frames per second
    long long last_ms = -1;  // when it was last drawn
};

void progress_init(progress_bar &bar, bool enabled, long long total_frames, double rate);

// Redraws the bar for frames read, at most five times a second.
void progress_update(progress_bar &bar, long long frames);

// Takes the bar off the screen (before an event line, and at the end).
void progress_clear(progress_bar &bar);
