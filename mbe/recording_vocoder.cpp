// SPDX-License-Identifier: MIT
#include "recording_vocoder.h"

#include <cstring>

namespace {

std::vector<vocoder_call> calls;

vocoder_call &record(vocoder_entry entry, const char *bits, int n, mbe_parms *cur_mp, mbe_parms *prev_mp,
                     mbe_parms *prev_mp_enhanced, int uvquality) {
    vocoder_call call{entry, {}, cur_mp, prev_mp, prev_mp_enhanced, uvquality, 0, 0};
    for (int i = 0; i < n; ++i) call.bits.push_back(bits[i]);
    calls.push_back(call);
    return calls.back();
}

template <typename Sample>
void answer(Sample *aout_buf, int *errs, int *errs2, char *err_str) {
    int n = static_cast<int>(calls.size()) - 1;
    vocoder_call &call = calls.back();
    call.errs_in = *errs;
    call.errs2_in = *errs2;
    for (int i = 0; i < vocoder_frame_samples; ++i) {
        if constexpr (sizeof(Sample) == sizeof(float))
            aout_buf[i] = recorded_float_sample(n, i);
        else
            aout_buf[i] = recorded_sample(n, i);
    }
    std::string text = recorded_error_text(n);
    std::memcpy(err_str, text.c_str(), text.size() + 1);
    *errs = recorded_errs_left;
    *errs2 = recorded_errs_left;
}

// The frame entry corrects and descrambles its arrays in place and fills the
// 49 parameters: leave them changed, as the library does.
void scribble(char ambe_fr[4][24], char ambe_d[49]) {
    std::memset(ambe_fr, 1, 4 * 24);
    std::memset(ambe_d, 1, 49);
}

}  // namespace

std::vector<vocoder_call> &recorded_calls() { return calls; }
void reset_recording() { calls.clear(); }

short recorded_sample(int call, int i) { return static_cast<short>(100 * call + i - 8000); }
float recorded_float_sample(int call, int i) { return static_cast<float>(100 * call + i - 8000) + 0.25f; }
std::string recorded_error_text(int call) { return "=E" + std::to_string(call); }

extern "C" {

void mbe_initMbeParms(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced) {
    record(vocoder_entry::init, nullptr, 0, cur_mp, prev_mp, prev_mp_enhanced, 0);
}

void mbe_processAmbe3600x2450Frame(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                   char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                   int uvquality) {
    record(vocoder_entry::ambe_frame, &ambe_fr[0][0], 96, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
    scribble(ambe_fr, ambe_d);
}

void mbe_processAmbe3600x2450Framef(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24],
                                    char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced,
                                    int uvquality) {
    record(vocoder_entry::ambe_frame_float, &ambe_fr[0][0], 96, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
    scribble(ambe_fr, ambe_d);
}

void mbe_processAmbe2450Data(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality) {
    record(vocoder_entry::ambe_data, ambe_d, 49, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
}

void mbe_processAmbe2450Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality) {
    record(vocoder_entry::ambe_data_float, ambe_d, 49, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
}

void mbe_processImbe4400Data(short *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp,
                             mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality) {
    record(vocoder_entry::imbe_data, imbe_d, 88, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
}

void mbe_processImbe4400Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp,
                              mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality) {
    record(vocoder_entry::imbe_data_float, imbe_d, 88, cur_mp, prev_mp, prev_mp_enhanced, uvquality);
    answer(aout_buf, errs, errs2, err_str);
}

}  // extern "C"
