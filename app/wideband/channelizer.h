// SPDX-License-Identifier: MIT
#pragma once
// The channelizer: one wideband capture in, the complex baseband of every
// watched channel out, each at 48000 pairs/s with the channel at 0 Hz, as the
// FM discriminator of the narrowband path takes it (app/fm_discriminator.h).
//
// Fast convolution (overlap-save) through FFTW3: one forward FFT of N capture
// samples serves every channel; each channel takes the L bins about its
// centre, weighs them by the channel filter and goes back with an L-point
// inverse FFT, which is the filter and the decimation by N/L in one step.
// N/L is the capture rate over the channel rate, so any rational ratio works:
// 2.4 MS/s gives N/L = 50, 2.048 MS/s 128/3, 1 MS/s 125/6, all straight to
// 48000/s; any whole rate whose ratio to 48000 has a denominator up to 64
// goes so. Another rate (1234567, or one not in whole hertz) is taken to
// the nearest channel rate Fc = rate/D at or above 48 kHz, D whole, and
// libsoxr brings each channel from Fc to 48000 (costing about as much again).
// Blocks go forward H capture samples at a time whatever the caller feeds, so
// the output does not depend on the input block sizes, and FFTW plans are
// made by estimate, never by timing, so the output is the same on every run.
//
// The channel filter (a Kaiser-windowed lowpass, 153 taps at 48 kHz): flat
// (+-0.01 dB) to +-6.0 kHz, 6 dB down at 6.8 kHz, at least 75 dB down from
// 7.6 kHz on (80 dB by design). An FM channel of +-1944 Hz deviation with +-2 kHz frequency
// error stays in the flat part; the channel 12.5 kHz away, whose signal
// reaches down to about 12.5 - 4.8 = 7.7 kHz, lies in the stop band.
// The filter's delay is 76 samples at 48 kHz (1.58 ms); delay_frames() says
// it for the path chosen.
//
// --ppm: a dongle's crystal error e moves its local oscillator and its sample
// clock alike, so a channel at f appears at (f - C(1+e)) / (R(1+e)) cycles a
// sample. The channel rate is then off by the same e (50 ppm: 2.4 samples/s
// of 48000), which the decoders' clock tracking absorbs. When the SDR itself
// corrects the error (rtl_tcp's frequency-correction command), give 0 here.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct channelizer_settings {
    double rate = 0;                  // capture rate, complex samples per second
    long long center = 0;             // Hz
    std::vector<long long> channels;  // Hz, each within rate/2 of the centre (frequency.h keeps to the clean part)
    double ppm = 0;                   // capture clock error, parts per million (+: the crystal runs fast)
};

class channelizer {
   public:
    static constexpr int output_rate = 48000;

    channelizer();
    ~channelizer();
    channelizer(const channelizer &) = delete;
    channelizer &operator=(const channelizer &) = delete;

    // Prepares the channelizer; false with a one-line reason for a rate out
    // of 240 kHz..20 MS/s, no channel, a channel outside the capture (more than
    // rate/2 from the centre) or a --ppm beyond +-1000.
    bool open(const channelizer_settings &settings, std::string &error);

    // Takes frames interleaved I/Q capture samples (non-finite ones count as
    // zero) and appends to out[c] (resized to the number of channels) the
    // interleaved I/Q pairs of channel c that are complete.
    void process(const float *iq, size_t frames, std::vector<std::vector<float>> &out);

    // At the end of the input: appends the rest, so that each channel has
    // delivered the input's length at 48000/s plus the filter's delay. The
    // channelizer is closed then (open it again for another stream).
    void finish(std::vector<std::vector<float>> &out);

    size_t channel_count() const;
    // Output pairs by which a channel lags the capture (the filter's delay).
    double delay_frames() const;
    // The internal channel rate: 48000, or the rate libsoxr starts from.
    double channel_rate() const;
    // Sizes of the fast convolution, for the benchmark's note.
    size_t fft_size() const;
    size_t channel_fft_size() const;

   private:
    struct state;
    std::unique_ptr<state> s;
};
