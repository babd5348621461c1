// SPDX-License-Identifier: MIT
// The stand-in for mbelib where the library is not installed: the same seven
// entry points, synthesising silence. Every frame gives 160 zero samples and
// an empty error text, and the parameter blocks carry the frame-to-frame
// memory as the vocoder's do, holding the parameters of a silent frame (no
// harmonics, zero amplitudes), so a chain runs and keeps its timing.

#include <cstring>

#include "vocoder.h"

namespace {

void set_silent(mbe_parms *mp) { std::memset(mp, 0, sizeof *mp); }

// One frame's synthesis: the current parameters become silent and then
// move on to the previous and enhanced previous blocks, as after a frame.
void advance_blocks(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced) {
    set_silent(cur_mp);
    std::memcpy(prev_mp, cur_mp, sizeof *prev_mp);
    std::memcpy(prev_mp_enhanced, cur_mp, sizeof *prev_mp_enhanced);
}

template <typename Sample>
void silent_frame(Sample *aout_buf, char *err_str) {
    for (int i = 0; i < vocoder_frame_samples; ++i) aout_buf[i] = 0;
    err_str[0] = 0;
}

}  // namespace

extern "C" {

void mbe_initMbeParms(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced) {
    set_silent(cur_mp);
    set_silent(prev_mp);
    set_silent(prev_mp_enhanced);
}

void mbe_processAmbe3600x2450Frame(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                   char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                   int) {
    (void)ambe_fr;
    std::memset(ambe_d, 0, 49);
    *errs = 0;
    *errs2 = 0;
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

void mbe_processAmbe3600x2450Framef(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                    char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                    int) {
    (void)ambe_fr;
    std::memset(ambe_d, 0, 49);
    *errs = 0;
    *errs2 = 0;
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

void mbe_processAmbe2450Data(short *aout_buf, int *, int *, char *err_str, char *, mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int) {
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

void mbe_processAmbe2450Dataf(float *aout_buf, int *, int *, char *err_str, char *, mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int) {
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

void mbe_processImbe4400Data(short *aout_buf, int *, int *, char *err_str, char *, mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int) {
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

void mbe_processImbe4400Dataf(float *aout_buf, int *, int *, char *err_str, char *, mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int) {
    silent_frame(aout_buf, err_str);
    advance_blocks(cur_mp, prev_mp, prev_mp_enhanced);
}

}  // extern "C"
