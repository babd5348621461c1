// SPDX-License-Identifier: MIT
#pragma once
// The seven entry points of the mbelib vocoder that voxloom calls, seen from
// C++. With an installed mbelib (ZELVANE_HAVE_MBELIB) this is the library's
// own header, whose C declarations carry no extern "C" of their own; without
// it, the same prototypes and parameter record are declared here, for the
// silent stand-in and the recording test double that then take its place.
//
// Bits are passed one per char, value 0 or 1. Every synthesis entry writes
// 160 samples into its output buffer and a short zero-terminated error text
// into err_str ('=' per corrected error, then possibly E, T, R or M), and
// keeps the synthesiser's memory in the three parameter blocks.

// The C headers mbelib.h may pull in are included here first, in C++ linkage,
// so that their C++ wrappers never end up inside the extern "C" block below.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(ZELVANE_HAVE_MBELIB)

extern "C" {
#include <mbelib.h>
}

#else

extern "C" {

// The voice parameters of one frame; callers allocate three and never look
// inside (only the stand-in does).
struct mbe_parameters {
    float w0;
    int L;
    int K;
    int Vl[57];
    float Ml[57];
    float log2Ml[57];
    float PHIl[57];
    float PSIl[57];
    float gamma;
    int un;
    int repeat;
};
typedef struct mbe_parameters mbe_parms;

void mbe_initMbeParms(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced);
void mbe_processAmbe3600x2450Frame(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                   char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                   int uvquality);
void mbe_processAmbe3600x2450Framef(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                    char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                    int uvquality);
void mbe_processAmbe2450Data(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processAmbe2450Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processImbe4400Data(short *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processImbe4400Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);

}  // extern "C"

#endif

// Samples that every synthesis entry writes per frame (20 ms at 8000/s).
inline constexpr int vocoder_frame_samples = 160;

// The unvoiced quality range that mbelib accepts: the number of random-phase
// sines per unvoiced band. Outside it the library prints a complaint on
// standard output (voxloom's audio stream) and uses its fallback.
inline constexpr int vocoder_min_unvoiced_quality = 1;
inline constexpr int vocoder_max_unvoiced_quality = 64;
inline constexpr int vocoder_fallback_unvoiced_quality = 3;
