// SPDX-License-Identifier: MIT
#include "baseband.h"

#include <cmath>

double rrc_impulse(double roll_off, double t) {
    const double a = roll_off;
    if (std::fabs(t) < 1e-9) return 1.0 - a + 4.0 * a / M_PI;
    if (std::fabs(std::fabs(t) - 1.0 / (4.0 * a)) < 1e-9) {
        return a / std::sqrt(2.0) *
               ((1.0 + 2.0 / M_PI) * std::sin(M_PI / (4.0 * a)) + (1.0 - 2.0 / M_PI) * std::cos(M_PI / (4.0 * a)));
    }
    const double x = 4.0 * a * t;
    return (std::sin(M_PI * t * (1.0 - a)) + x * std::cos(M_PI * t * (1.0 + a))) / (M_PI * t * (1.0 - x * x));
}

void make_rrc_pulse(double roll_off, rrc_pulse &pulse) {
    pulse.roll_off = roll_off;
    const int entries = 2 * pulse_span * pulse_resolution + 1;
    pulse.table.assign(static_cast<std::size_t>(entries), 0.0);
    for (int i = 0; i < entries; ++i)
        pulse.table[static_cast<std::size_t>(i)] =
            rrc_impulse(roll_off, static_cast<double>(i - pulse_span * pulse_resolution) / pulse_resolution);
    // Scale: the mean of the eight middle samples of a symbol window (at
    // -3.5 .. +3.5 samples from the centre) is 1.
    double mean = 0.0;
    for (int j = 1; j <= 8; ++j) mean += rrc_impulse(roll_off, (j - 4.5) / samples_per_symbol);
    mean /= 8.0;
    for (double &v : pulse.table) v /= mean;
}

double rrc_pulse_at(const rrc_pulse &pulse, double t) {
    const double x = (t + pulse_span) * pulse_resolution;
    if (!(x >= 0.0) || x >= static_cast<double>(pulse.table.size() - 1)) return 0.0;
    const std::size_t i = static_cast<std::size_t>(x);
    const double f = x - static_cast<double>(i);
    return pulse.table[i] + (pulse.table[i + 1] - pulse.table[i]) * f;
}

double four_level_level(uint8_t symbol) {
    switch (symbol & 3) {
        case 1:
            return 1.0;
        case 0:
            return 1.0 / 3.0;
        case 2:
            return -1.0 / 3.0;
        default:
            return -1.0;
    }
}

namespace {

void start_channel(baseband_writer &writer, const channel_settings &channel, double level_power, double period) {
    writer.channel = channel;
    writer.period = period;
    writer.clock = 1.0 / (1.0 + channel.ppm * 1e-6);
    if (channel.tx_ppm != 0.0) writer.clock *= 1.0 + channel.tx_ppm * 1e-6;
    seed_noise(writer.noise, channel.seed);
    writer.noise_sigma = 0.0;
    if (channel.noisy) {
        const double power = level_power * channel.amplitude * channel.amplitude;
        writer.noise_sigma = std::sqrt(power / std::pow(10.0, channel.snr_db / 10.0));
    }
    writer.next_sample = 0;
    // Samples until the receiver's clock has passed the last symbol, and two
    // more: a demodulator takes a window only when two samples beyond it
    // have arrived.
    writer.total_samples =
        static_cast<long long>(std::ceil((static_cast<double>(writer.units.size()) + channel.phase) * period / writer.clock)) +
        2;
}

// Four-level: the sum of the pulses of the symbols within the span of time
// tau (in symbols; symbol k is centred at k + 0.5).
double four_level_value(const baseband_writer &w, double tau) {
    const long long count = static_cast<long long>(w.units.size());
    long long first = static_cast<long long>(std::floor(tau - 0.5)) - pulse_span;
    long long last = first + 2 * pulse_span + 1;
    if (first < 0) first = 0;
    if (last > count - 1) last = count - 1;
    double v = 0.0;
    for (long long k = first; k <= last; ++k)
        v += four_level_level(w.units[static_cast<std::size_t>(k)]) *
             rrc_pulse_at(w.pulse, tau - (static_cast<double>(k) + 0.5));
    return v;
}

// Two-level: bit k holds from tau = k to k + 1, with a raised-cosine step
// of a fifth of a bit centred on each boundary.
double two_level_value(const baseband_writer &w, double tau) {
    constexpr double step = 0.2;
    const long long count = static_cast<long long>(w.units.size());
    // Bit 1 is the negative level.
    auto level = [&](long long k) {
        if (k < 0 || k >= count) return 0.0;
        return w.units[static_cast<std::size_t>(k)] ? -1.0 : 1.0;
    };
    const long long k = static_cast<long long>(std::floor(tau));
    if (w.channel.square) return level(k);
    const double u = tau - static_cast<double>(k);
    double from = level(k), to = level(k), x = 0.0;
    if (u < step / 2) {
        from = level(k - 1);
        x = (u + step / 2) / step;
    } else if (u > 1.0 - step / 2) {
        to = level(k + 1);
        x = (u - (1.0 - step / 2)) / step;
    } else {
        return from;
    }
    return from + (to - from) * (1.0 - std::cos(M_PI * x)) / 2.0;
}

}  // namespace

void start_four_level(baseband_writer &writer, const std::vector<uint8_t> &symbols, const channel_settings &channel) {
    writer.four_level = true;
    writer.units = symbols;
    make_rrc_pulse(channel.roll_off, writer.pulse);
    // Mean power of the four equally likely levels: (1 + 1/9) / 2.
    start_channel(writer, channel, 5.0 / 9.0, samples_per_symbol);
}

void start_two_level(baseband_writer &writer, const std::vector<uint8_t> &bits, const channel_settings &channel) {
    writer.four_level = false;
    writer.units = bits;
    start_channel(writer, channel, 1.0, static_cast<double>(baseband_rate) / channel.bit_rate);
}

int next_samples(baseband_writer &w, float *out, int count) {
    int n = 0;
    const double period = w.period;
    const double gain = w.channel.invert ? -w.channel.amplitude : w.channel.amplitude;
    for (; n < count && w.next_sample < w.total_samples; ++n, ++w.next_sample) {
        // The receiver takes sample n at the middle of its n-th sample period.
        double tau = (static_cast<double>(w.next_sample) + 0.5) * w.clock / period;
        if (w.channel.phase != 0.0) tau -= w.channel.phase;
        const double v = w.four_level ? four_level_value(w, tau) : two_level_value(w, tau);
        double sample = gain * v + w.channel.offset;
        if (w.channel.noisy) sample += w.noise_sigma * next_gaussian(w.noise);
        if (w.channel.clip > 0.0) sample = std::fmax(-w.channel.clip, std::fmin(w.channel.clip, sample));
        out[n] = static_cast<float>(sample);
    }
    return n;
}

bool write_baseband(baseband_writer &writer, FILE *out) {
    float block[4096];
    for (;;) {
        const int n = next_samples(writer, block, 4096);
        if (n == 0) return std::fflush(out) == 0;
        if (std::fwrite(block, sizeof block[0], static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n))
            return false;
    }
}
