// SPDX-License-Identifier: MIT
#pragma once
// Speech band-pass for synthesized voice at 8000 samples/s: a fifth-order
// Butterworth band-pass (ten poles), 3 dB corners at 200 Hz and 3400 Hz, unity
// gain in the pass band, as a tenth-order recursive filter
//
//   H(z) = (1/G) (1 - z^-2)^5 / (1 - sum over k = 0..9 of c[k] z^(k-10))
//
// with five zeros at DC and five at half the sample rate. The arithmetic is
// fixed to the operation: input scaling and the numerator in single precision,
// the recursion in double precision, each step rounded as written in
// speech_band.cpp, so that every output is reproducible to the bit.

#include <cstddef>
#include <cstdint>

// Input gain divisor G (double precision).
inline constexpr double speech_band_gain = 2.823549227;

// Full scale of a 16-bit sample in the float scale (single precision).
inline constexpr float speech_band_int16_scale = 32767.0f;

// Feedback coefficient c[k] of output history entry y[k] (y[9] the newest
// output before the one being formed, y[0] ten samples older).
inline constexpr double speech_band_feedback[10] = {
    0.1254306222, 0.1285714097, -0.810645498,  -0.7664515771, 2.1846187758,
    1.8106678608, -3.14650116,  -2.0391991609, 2.4873968618,  1.0249072542,
};

// Filter state in the float scale (full scale +-1.0), carried from block to
// block for the whole run; zero at start. Both sample modes use it.
struct speech_band_state {
    float x[11] = {};  // scaled input history, x[10] newest, x[0] ten samples older
    float y[11] = {};  // output history, y[10] newest, y[0] ten samples older
};

// Filters one sample in the float scale and returns the output y[10].
// A NaN or infinite input is taken as 0; an output that overflows resets the
// filter to rest and gives 0, so one glitch never silences the rest of the
// stream. Finite outputs are those of the recursion above, to the bit.
float speech_band_step(speech_band_state &state, float v);

// Filters count float samples (full scale +-1.0) in place, in order.
void speech_band_filter_float(speech_band_state &state, float *block, std::size_t count);

// Filters count 16-bit samples in place, in order: each sample is brought to
// the float scale by speech_band_from_int16 and each output converted back by
// speech_band_to_int16.
void speech_band_filter_int16(speech_band_state &state, std::int16_t *block, std::size_t count);

// A 16-bit sample in the float scale: s / 32767.0 in single precision, so 32767
// gives 1.0 and -32768 slightly less than -1.0.
float speech_band_from_int16(std::int16_t s);

// An output in the float scale as a 16-bit sample: y * 32767.0 in single
// precision, truncated toward zero. Loud speech overshoots full scale in the
// band-pass (a full-scale 1 kHz square wave reaches nearly twice full scale):
// products beyond the range saturate at -32768 and 32767 instead of wrapping.
// NaN, which has no sample value, becomes 0 (silence).
std::int16_t speech_band_to_int16(float y);
