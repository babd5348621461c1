// SPDX-License-Identifier: MIT
#pragma once
// The chains of programs zelvane runs, and the pipes between zelvane and
// them. zelvane writes the samples into each demodulator, copies each
// demodulator's symbols or bits on into the decoders (so that it knows how
// far every decoder has read, which dates its reports), and reads the
// decoders' metadata lines, page lines and speech.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "call_tracker.h"
#include "options.h"
#include "speech_file.h"

// A pipe into a child's standard input, with what is still to go. At most
// limit bytes wait unread in the pipe, so that the child's read position, and
// with it the time of what it reports, stays close to what was written.
struct feed {
    int fd = -1;
    std::string queue;
    unsigned long long written = 0;
    size_t limit = 4096;
    // Written in whole multiples of the child's read block (except the last
    // bytes at the end): the child cannot act on less, and one wake-up per
    // block keeps the cost of a live stream low.
    size_t chunk = 1;
    bool closing = false;  // close the pipe once the queue is empty
};

// Bytes of the feed the child has read.
unsigned long long feed_consumed(const feed &f);
// Writes what the limit allows, at most limit bytes a call; closes the pipe
// when done and closing.
void feed_pump(feed &f);
void feed_close(feed &f);

// A descriptor read by lines.
struct line_reader {
    int fd = -1;
    std::string partial;
};

// A DMR or System Fusion decoder (tessavox, orbavox) of one polarity, with
// its voice chain when speech is written.
struct voice_chain {
    event_protocol protocol = event_protocol::dmr;
    bool inverted = false;
    double symbol_rate = 4800;
    feed symbols;
    line_reader meta;
    std::vector<call_tracker> trackers;  // one per slot this chain reports
    std::vector<bool> presented;         // per tracker: its call is being reported
    // Speech (with --audio-dir; one tracker then).
    int speech_fd = -1;
    std::string speech_partial;
    std::vector<int16_t> pending;  // speech before the call is known, held back
    speech_file file;
    double close_at = -1;  // chain time at which the file of an ended call closes
};

// A four-level demodulator (quadlock, quadslice) of one polarity and the
// decoders it feeds.
struct symbol_source {
    bool inverted = false;
    bool negate_input = false;  // the exact slicer has no inversion of its own
    feed samples;
    int out_fd = -1;
    std::vector<voice_chain *> chains;
};

// A POCSAG chain of one rate and polarity: duolock (or duoslice) into pagewick.
struct page_chain {
    int baud = 1200;
    bool inverted = false;
    int sample_stream = 0;  // 0: 48000/s; 1: 20480/s; 2: 96000/s (exact slicer at 40 samples per bit)
    feed samples;
    int bits_fd = -1;
    feed bits;
    line_reader pages;
};

struct child {
    pid_t pid = -1;
    std::string name;
};

struct chain_set {
    std::vector<std::unique_ptr<voice_chain>> voices;
    std::vector<std::unique_ptr<symbol_source>> sources;
    std::vector<std::unique_ptr<page_chain>> pages;
    std::vector<child> children;
    int diagnostics_fd = -1;  // the children's standard error, read and dropped
    bool lock_demodulators = true;
    bool page_functions = false;  // pagewick reports each page's function
};

// Starts every chain the options ask for. False with a reason (a program not
// found, or the system refusing a process or a pipe).
bool start_chains(const zelvane_options &options, chain_set &set, std::string &error, std::string &notice);

// Ends every child still running (SIGTERM, by pid) and waits for all.
void stop_children(chain_set &set, bool terminate);
