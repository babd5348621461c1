// SPDX-License-Identifier: MIT
// A test double of the mbelib entry points that speaks each frame as a
// 1 kHz tone whose amplitude names the frame: 1000 plus 40 for every bit
// set in it. Like mbelib, it keeps its memory in the caller's parameter
// blocks and its output lags: each call sounds the frame before (the first
// call after mbe_initMbeParms is silent), so a test sees whether the speech
// of one frame, and of one call, reaches the file it belongs to.

#include <cmath>
#include <cstring>

#include "vocoder.h"

namespace {

void sound(short *out, float *fout, mbe_parms *cur, int bits_set) {
    const float amplitude = cur->w0;  // the frame before
    for (int n = 0; n < 160; ++n) {
        const float v = amplitude * std::sin(2.0f * 3.14159265f * 1000.0f * static_cast<float>(n) / 8000.0f);
        if (out) out[n] = static_cast<short>(v);
        if (fout) fout[n] = v / 7.0f;
    }
    cur->w0 = 1000.0f + 40.0f * static_cast<float>(bits_set);
}

int count_set(const char *bits, int n) {
    int set = 0;
    for (int k = 0; k < n; ++k) set += bits[k] != 0;
    return set;
}

}  // namespace

extern "C" {

void mbe_initMbeParms(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced) {
    std::memset(cur_mp, 0, sizeof *cur_mp);
    std::memset(prev_mp, 0, sizeof *prev_mp);
    std::memset(prev_mp_enhanced, 0, sizeof *prev_mp_enhanced);
}

void mbe_processAmbe3600x2450Frame(short *aout_buf, int *, int *, char *err_str, char ambe_fr[4][24], char ambe_d[49],
                                   mbe_parms *cur_mp, mbe_parms *, mbe_parms *, int) {
    sound(aout_buf, nullptr, cur_mp, count_set(&ambe_fr[0][0], 96));
    std::memset(ambe_d, 0, 49);
    err_str[0] = 0;
}

void mbe_processAmbe3600x2450Framef(float *aout_buf, int *, int *, char *err_str, char ambe_fr[4][24],
                                    char ambe_d[49], mbe_parms *cur_mp, mbe_parms *, mbe_parms *, int) {
    sound(nullptr, aout_buf, cur_mp, count_set(&ambe_fr[0][0], 96));
    std::memset(ambe_d, 0, 49);
    err_str[0] = 0;
}

void mbe_processAmbe2450Data(short *aout_buf, int *, int *, char *err_str, char *ambe_d, mbe_parms *cur_mp,
                             mbe_parms *, mbe_parms *, int) {
    sound(aout_buf, nullptr, cur_mp, count_set(ambe_d, 49));
    err_str[0] = 0;
}

void mbe_processAmbe2450Dataf(float *aout_buf, int *, int *, char *err_str, char *ambe_d, mbe_parms *cur_mp,
                              mbe_parms *, mbe_parms *, int) {
    sound(nullptr, aout_buf, cur_mp, count_set(ambe_d, 49));
    err_str[0] = 0;
}

void mbe_processImbe4400Data(short *aout_buf, int *, int *, char *err_str, char *imbe_d, mbe_parms *cur_mp,
                             mbe_parms *, mbe_parms *, int) {
    sound(aout_buf, nullptr, cur_mp, count_set(imbe_d, 88));
    err_str[0] = 0;
}

void mbe_processImbe4400Dataf(float *aout_buf, int *, int *, char *err_str, char *imbe_d, mbe_parms *cur_mp,
                              mbe_parms *, mbe_parms *, int) {
    sound(nullptr, aout_buf, cur_mp, count_set(imbe_d, 88));
    err_str[0] = 0;
}
}
