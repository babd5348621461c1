// SPDX-License-Identifier: MIT
#pragma once
// A test double of the seven mbelib entry points: it records every call
// (which entry, the bit array it received, the three parameter block
// pointers, the unvoiced quality, the error counters as passed in) and
// answers each synthesis call with samples and an error text that name the
// call, so a test can tell which call's output reached the stream.

#include <string>
#include <vector>

#include "vocoder.h"

enum class vocoder_entry {
    init,
    ambe_frame,        // mbe_processAmbe3600x2450Frame
    ambe_frame_float,  // mbe_processAmbe3600x2450Framef
    ambe_data,         // mbe_processAmbe2450Data
    ambe_data_float,   // mbe_processAmbe2450Dataf
    imbe_data,         // mbe_processImbe4400Data
    imbe_data_float,   // mbe_processImbe4400Dataf
};

struct vocoder_call {
    vocoder_entry entry;
    // The bits received: 96 (the 4 x 24 frame array, row by row) for the
    // frame entries, 49 or 88 for the data entries, none for init.
    std::vector<int> bits;
    mbe_parms *cur_mp;
    mbe_parms *prev_mp;
    mbe_parms *prev_mp_enhanced;
    int uvquality;  // 0 for init
    int errs_in;    // *errs and *errs2 as the caller passed them
    int errs2_in;
};

// Every call since the last reset, in order; call n is element n.
std::vector<vocoder_call> &recorded_calls();
void reset_recording();

// What synthesis call n (its index in recorded_calls) writes: sample i is
// 100 n + i - 8000 (16-bit) or that value plus 0.25 (float), and the text
// "=E" followed by n.
short recorded_sample(int call, int i);
float recorded_float_sample(int call, int i);
std::string recorded_error_text(int call);

// What the double leaves in *errs and *errs2, so that a caller that fails
// to clear them before the next frame is seen.
inline constexpr int recorded_errs_left = 7;
