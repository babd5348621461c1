// SPDX-License-Identifier: MIT
#pragma once
// Frequency-demodulated baseband of a transmission, as a receiver's FM
// discriminator would deliver it: 32-bit float samples at 48000 samples/s.
//
// Four-level FSK: 4800 symbols/s (10 samples per symbol), each symbol an
// impulse of its level shaped by a root-raised-cosine pulse. Symbol k is
// centred between samples 10k + 4 and 10k + 5, so a demodulator that starts
// its first 10-sample window at the first sample sees every symbol whole.
// Levels by symbol byte: 1 (+3) is +amplitude, 0 (+1) +amplitude / 3,
// 2 (-1) -amplitude / 3, 3 (-3) -amplitude; the pulse is scaled so that the
// mean of the eight middle samples of a lone symbol is its level.
//
// Two-level FSK: 1200 bits/s (40 samples per bit; 512 and 2400 bits/s
// take 93.75 and 20), bit 1 the negative level
// (-amplitude) and bit 0 the positive one, as a POCSAG receiver's
// discriminator gives them; each change of level is a raised-cosine step
// over a fifth of a bit centred on the bit boundary, which lies between
// samples 40k - 1 and 40k.
//
// Both are sampled by a clock that may run off by a number of parts per
// million, so that the symbol timing drifts, and pass through the channel
// below. The transmitter's own symbol clock may run off too, and the
// transmission may start a fraction of a symbol late.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "noise_source.h"

inline constexpr int baseband_rate = 48000;
inline constexpr int samples_per_symbol = 10;  // four-level, 4800 symbols/s
inline constexpr int samples_per_bit = 40;     // two-level, 1200 bits/s

struct channel_settings {
    double amplitude = 1.0;  // outer level (four-level) or level (two-level)
    double offset = 0.0;     // DC offset added to every sample
    bool invert = false;     // polarity inversion of the whole signal
    bool noisy = false;      // add white Gaussian noise at snr_db
    double snr_db = 0.0;     // mean power of the levels over the noise power per sample
    uint64_t seed = 1;       // of the noise
    double ppm = 0.0;        // receiver clock error: +100 takes 10.001 samples per symbol
    double roll_off = 0.5;   // of the root-raised-cosine pulse (four-level), 0 < r <= 1
    double tx_ppm = 0.0;     // transmitter symbol clock error: +100 sends 4800.48 symbols/s
    double phase = 0.0;      // the transmission starts this fraction of a symbol (or bit) late, 0 <= f < 1
    double clip = 0.0;       // if above 0: every sample hard limited to +-clip after the channel
    bool square = false;     // two-level: square NRZ, each change of level from one sample to the next
    int bit_rate = 1200;     // two-level: 512, 1200 or 2400 bits/s
};

// Root-raised-cosine pulse of a roll-off, tabulated over +-pulse_span
// symbols and scaled as described above.
struct rrc_pulse {
    double roll_off = 0.5;
    std::vector<double> table;  // pulse_resolution entries per symbol
};

inline constexpr int pulse_span = 8;          // symbols on each side of the centre
inline constexpr int pulse_resolution = 256;  // table entries per symbol

void make_rrc_pulse(double roll_off, rrc_pulse &pulse);

// The pulse at t symbols from its centre (0 beyond the span), by linear
// interpolation in the table.
double rrc_pulse_at(const rrc_pulse &pulse, double t);

// The unscaled root-raised-cosine impulse response at t symbols.
double rrc_impulse(double roll_off, double t);

// The level of a four-level symbol byte (only its low two bits count), in
// units of the outer level.
double four_level_level(uint8_t symbol);

// Writer of one transmission's baseband, block by block.
struct baseband_writer {
    channel_settings channel;
    bool four_level = true;
    std::vector<uint8_t> units;  // the symbol bytes or bit bytes sent
    rrc_pulse pulse;
    noise_source noise;
    double noise_sigma = 0.0;
    double clock = 1.0;  // symbol periods per nominal sample period ratio: 1 / (1 + ppm / 1e6)
    double period = samples_per_symbol;  // nominal samples per symbol or bit
    long long next_sample = 0;
    long long total_samples = 0;
};

// Prepares the baseband of four-level symbol bytes or of bit bytes (0 or
// non-zero) under the channel settings.
void start_four_level(baseband_writer &writer, const std::vector<uint8_t> &symbols, const channel_settings &channel);
void start_two_level(baseband_writer &writer, const std::vector<uint8_t> &bits, const channel_settings &channel);

// Computes up to count next samples into out; returns how many (0 at the end).
int next_samples(baseband_writer &writer, float *out, int count);

// Writes the whole baseband to out in blocks; false if a write failed.
bool write_baseband(baseband_writer &writer, FILE *out);
