// SPDX-License-Identifier: MIT
#pragma once
// voxloom: turns the codec frame stream of a decoder into speech through
// mbelib, 160 samples per frame, as 16-bit signed integers or 32-bit floats.
//
// Plain input (the default): 12-byte AMBE frames back to back. Tagged input
// (-y): records of one mode byte and a frame of the size the mode byte names
// (0: 12-byte AMBE frame, 2: 7-byte AMBE parameter frame, 3: 18-byte IMBE
// frame), so the vocoder may change from one record to the next.

#include <getopt.h>

#include <cstdint>
#include <cstdio>

#include "codec_frame.h"
#include "vocoder.h"

// Settings, fixed once the options are parsed.
struct voxloom_settings {
    bool float_output = false;  // -f: 32-bit float samples instead of 16-bit
    bool tagged_input = false;  // -y: tagged form of the stream
    int unvoiced_quality = 1;   // -u: random-phase sines per unvoiced band, always 1..64
};

extern const char voxloom_short_options[];
extern const struct option voxloom_long_options[];
extern const char voxloom_usage[];

// The line a voxloom built without mbelib writes to standard error at start.
extern const char voxloom_silent_notice[];

// Size of the error text buffer that mbelib fills after each frame.
inline constexpr int voxloom_error_text_bytes = 64;

// The run's state: settings, the vocoder's three parameter blocks, the mode
// and frame size of the last record, the bit arrays of the frame being
// decoded, and the last frame's samples and error text (written again for a
// record of unknown kind). main owns one static instance; tests make fresh
// ones, value-initialised.
struct voxloom_state {
    voxloom_settings settings;

    // The synthesiser's memory, initialised once and passed, always these
    // three in this order, to every synthesis call across changes of kind.
    mbe_parms cur_mp;
    mbe_parms prev_mp;
    mbe_parms prev_mp_enhanced;

    int mode = 0;        // the last mode byte (0..255); stays 0 for plain input
    int frame_size = 0;  // bytes of the next frame; 0 in tagged input until a record of a known kind

    uint8_t frame[imbe_frame_bytes];  // the frame read, zero past a cut-short end
    char ambe_fr[ambe_frame_rows][ambe_frame_columns];
    char ambe_d[ambe_parameter_bits];
    char imbe_d[imbe_parameter_bits];
    int errs = 0;
    int errs2 = 0;

    short samples[vocoder_frame_samples];
    float float_samples[vocoder_frame_samples];
    char err_str[voxloom_error_text_bytes];

    int write_error = 0;  // errno of the write to the output that ended the run, 0 if none
};

// Acts on one option letter: 'y', 'u' (argument required) and 'f' change the
// settings and write their notice to diagnostics; every other letter is
// ignored (the option parser has already complained about unknown ones).
void voxloom_apply_option(voxloom_settings &settings, int letter, const char *argument, FILE *diagnostics);

// The unvoiced quality of a -u argument: its leading decimal number, as atoi
// reads it. A value outside 1..64 (a text that is no number reads as 0) would
// make mbelib complain on standard output, the audio stream: it is rejected
// with one line on diagnostics naming it, and 3 is used instead.
int voxloom_unvoiced_quality(const char *argument, FILE *diagnostics);

// Takes the settings, clears the buffers and initialises the three
// parameter blocks (mbe_initMbeParms); once per run, before the first frame.
void voxloom_start(voxloom_state &state, const voxloom_settings &settings);

// Reads one frame (plain) or record (tagged) from input, synthesises it, and
// writes the error text to diagnostics and the 160 samples to output in one
// write, then flushes output. Returns false when the run is over: end of
// input before a mode byte or before a frame's first byte, or a write to
// output that failed (its errno in write_error; EPIPE when its reader has
// gone). A frame cut short by the end of input is decoded with
// its missing bytes 0. A record of unknown kind reads and discards a frame of
// the last frame's size and writes the last frame's output again; before any
// known record there is nothing to repeat and only its mode byte is consumed.
bool voxloom_process_record(voxloom_state &state, FILE *input, FILE *output, FILE *diagnostics);

// The in-process form of one record: synthesises the frame of size bytes
// (missing bytes taken as 0) into state.samples or state.float_samples and
// state.err_str. mode is a mode byte as in tagged input (plain input is
// mode 0); a mode of no known kind leaves the last frame's output, as
// voxloom_process_record repeats it.
void voxloom_synthesise(voxloom_state &state, int mode, const uint8_t *frame, size_t size);

// Processes records until voxloom_process_record ends the run.
void voxloom_run(voxloom_state &state, FILE *input, FILE *output, FILE *diagnostics);
