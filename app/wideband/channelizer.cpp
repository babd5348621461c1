// SPDX-License-Identifier: MIT
#include "channelizer.h"

#include <fftw3.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <mutex>
#include <numbers>
#include <numeric>

namespace {

using cf = std::complex<float>;

// The channel filter, at the channel rate.
constexpr double pass_edge_hz = 6000.0;
constexpr double stop_edge_hz = 7600.0;
constexpr double stop_attenuation_db = 80.0;
// Bins beyond this offset are left at zero: the filter is 75 dB down there.
constexpr double kept_bins_hz = 9000.0;

// FFTW's planner is not reentrant; every plan is made and freed under this.
std::mutex &planner_mutex() {
    static std::mutex m;
    return m;
}

double bessel_i0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

// Kaiser-windowed sinc lowpass at rate, unit gain at 0 Hz.
std::vector<double> channel_filter(double rate) {
    double a = stop_attenuation_db;
    double beta = 0.1102 * (a - 8.7);
    double width = 2 * std::numbers::pi * (stop_edge_hz - pass_edge_hz) / rate;
    int taps = static_cast<int>(std::ceil((a - 7.95) / (2.285 * width))) + 1;
    if (taps % 2 == 0) ++taps;
    double cutoff = (pass_edge_hz + stop_edge_hz) / 2 / rate;  // cycles per sample
    double middle = (taps - 1) / 2.0;
    std::vector<double> h(static_cast<size_t>(taps));
    double sum = 0;
    for (int n = 0; n < taps; ++n) {
        double t = n - middle;
        double sinc = t == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
        double r = t / middle;
        h[static_cast<size_t>(n)] = sinc * bessel_i0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / bessel_i0(beta);
        sum += h[static_cast<size_t>(n)];
    }
    for (double &v : h) v /= sum;
    return h;
}

// to[i] = from[(start + i) mod size] * gain[i], i < count; two straight
// runs that the compiler vectorizes, the complex product written out rather
// than through std::complex's operator*, whose care for infinities costs a
// call a product.
void weigh(cf *to, const cf *from, long long start, const cf *gain, int count, long long size) {
    if (start < 0) start += size;
    while (count > 0) {
        int run = static_cast<int>(std::min<long long>(count, size - start));
        const float *x = reinterpret_cast<const float *>(from + start);
        const float *g = reinterpret_cast<const float *>(gain);
        float *y = reinterpret_cast<float *>(to);
        for (int i = 0; i < run; ++i) {
            float a = x[2 * i], b = x[2 * i + 1], c = g[2 * i], d = g[2 * i + 1];
            y[2 * i] = a * c - b * d;
            y[2 * i + 1] = a * d + b * c;
        }
        to += run, gain += run, count -= run;
        start = 0;
    }
}

struct channel_state {
    long long bin = 0;         // bin of the capture FFT nearest the channel, in [0, N)
    double residual = 0;       // what is left after the bin shift, cycles per output sample
    long long block_turn = 0;  // k*H mod N: the bin shift's phase advance per block, in N-ths of a turn
    long long turn = 0;        // the phase to take off this block's output, in N-ths of a turn
    soxr_t soxr = nullptr;     // channel rate to 48000, when they differ
    long long delivered = 0;   // pairs appended to the channel's output
    std::vector<float> spin;   // the residual's turn over a block's outputs (I/Q); empty when it is 0
};

}  // namespace

struct channelizer::state {
    double rate = 0;
    size_t n = 0, l = 0;      // FFT sizes: capture, channel
    size_t discard = 0;       // outputs of each inverse FFT spoilt by the circular wrap
    size_t hop = 0;           // capture samples a block goes forward
    double channel_rate = 0;  // Fc
    size_t taps = 0;
    int kept = 0;          // bins kept on each side of a channel's centre
    std::vector<cf> gain;  // filter response by channel bin offset -kept..kept, scaled by 1/N
    std::vector<channel_state> channels;

    fftwf_complex *in = nullptr, *spectrum = nullptr, *bins = nullptr, *out = nullptr;
    fftwf_plan forward = nullptr, inverse = nullptr;
    size_t fill = 0;            // capture samples in `in`
    long long blocks = 0;       // blocks done
    long long frames_in = 0;    // capture samples taken
    std::vector<float> staged;  // one channel's block before libsoxr

    ~state() {
        std::lock_guard<std::mutex> lock(planner_mutex());
        if (forward) fftwf_destroy_plan(forward);
        if (inverse) fftwf_destroy_plan(inverse);
        fftwf_free(in);
        fftwf_free(spectrum);
        fftwf_free(bins);
        fftwf_free(out);
        for (channel_state &c : channels)
            if (c.soxr) soxr_delete(c.soxr);
    }

    void run_block(std::vector<std::vector<float>> &result);
    void emit(size_t c, const float *pairs, size_t count, std::vector<float> &result);
};

channelizer::channelizer() = default;
channelizer::~channelizer() = default;

bool channelizer::open(const channelizer_settings &settings, std::string &error) {
    s.reset();
    double rate = settings.rate;
    if (!std::isfinite(rate) || rate < 240000 || rate > 20e6) {
        error = "a wideband capture needs a rate of 240000 to 20000000 samples/s";
        return false;
    }
    if (settings.channels.empty()) {
        error = "no channel to watch";
        return false;
    }
    if (!std::isfinite(settings.ppm) || std::fabs(settings.ppm) > 1000) {
        error = "--ppm must be within -1000..1000";
        return false;
    }
    auto st = std::make_unique<state>();
    st->rate = rate;

    // The ratio of the capture rate to 48000 as P/Q; with a small Q the
    // inverse FFT lands on 48000 exactly.
    long long p = 0, q = 0;
    if (rate == std::floor(rate)) {
        long long r = static_cast<long long>(rate);
        long long g = std::gcd(r, static_cast<long long>(output_rate));
        p = r / g, q = output_rate / g;
    }
    if (q > 0 && q <= 64 && static_cast<double>(p) * 1024 / static_cast<double>(q) <= 4194304) {
        size_t m = 1;
        while (static_cast<long long>(m) * q < 900) m *= 2;
        st->l = m * static_cast<size_t>(q);
        st->n = m * static_cast<size_t>(p);
        st->channel_rate = output_rate;
    } else {
        size_t d = static_cast<size_t>(std::floor(rate / output_rate));
        st->l = 1024;
        st->n = d * st->l;
        st->channel_rate = rate / static_cast<double>(d);
        q = 1;
    }
    std::vector<double> h = channel_filter(st->channel_rate);
    st->taps = h.size();
    // The inverse FFT's first taps-1 outputs wrap around; one more for the
    // interpolation's tails. The rest must be a whole number of Q so that a
    // block is a whole number of capture samples.
    st->discard = st->taps;
    while ((st->l - st->discard) % static_cast<size_t>(q) != 0) ++st->discard;
    st->hop = (st->l - st->discard) * st->n / st->l;

    st->kept = static_cast<int>(std::ceil(kept_bins_hz * static_cast<double>(st->l) / st->channel_rate));
    st->gain.resize(static_cast<size_t>(2 * st->kept + 1));
    for (int b = -st->kept; b <= st->kept; ++b) {
        double f = b / static_cast<double>(st->l);  // cycles per channel sample
        std::complex<double> sum = 0;
        for (size_t t = 0; t < h.size(); ++t)
            sum += h[t] * std::polar(1.0, -2 * std::numbers::pi * f * static_cast<double>(t));
        st->gain[static_cast<size_t>(b + st->kept)] = cf(sum / static_cast<double>(st->n));
    }

    double e = settings.ppm * 1e-6;
    // A channel by the edge takes bins from the far edge too, as the sampled
    // spectrum wraps; the plan (frequency.h) keeps users off the edges.
    double reach = rate / 2;
    for (long long hz : settings.channels) {
        double offset = static_cast<double>(hz) - static_cast<double>(settings.center) * (1 + e);
        if (std::fabs(offset) > reach) {
            error = "channel " + std::to_string(hz) + " Hz is outside the capture (at most " +
                    std::to_string(static_cast<long long>(reach)) + " Hz from the centre)";
            return false;
        }
        double cycles = offset / (rate * (1 + e));  // per capture sample
        double exact = cycles * static_cast<double>(st->n);
        long long k = std::llround(exact);
        channel_state c;
        c.bin = ((k % static_cast<long long>(st->n)) + static_cast<long long>(st->n)) % static_cast<long long>(st->n);
        c.residual = (exact - static_cast<double>(k)) / static_cast<double>(st->l);
        c.block_turn = static_cast<long long>((static_cast<unsigned long long>(c.bin) * (st->hop % st->n)) % st->n);
        c.turn = c.block_turn;
        if (c.residual != 0) {
            size_t valid = st->l - st->discard;
            c.spin.resize(2 * valid);
            for (size_t t = 0; t < valid; ++t) {
                double a = -2 * std::numbers::pi * std::fmod(c.residual * static_cast<double>(t), 1.0);
                c.spin[2 * t] = static_cast<float>(std::cos(a));
                c.spin[2 * t + 1] = static_cast<float>(std::sin(a));
            }
        }
        st->channels.push_back(c);
    }
    if (st->channel_rate != output_rate) {
        soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        // The channel holds nothing above 7.6 kHz of its 24: the low quality's
        // narrower passband loses nothing and costs a third.
        soxr_quality_spec_t quality = soxr_quality_spec(SOXR_LQ, SOXR_LINEAR_PHASE);
        soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        for (channel_state &c : st->channels) {
            soxr_error_t failure = nullptr;
            c.soxr = soxr_create(st->channel_rate, output_rate, 2, &failure, &io, &quality, &runtime);
            if (!c.soxr) {
                error = std::string("libsoxr: ") + (failure ? failure : "cannot resample");
                return false;
            }
        }
    }

    {
        std::lock_guard<std::mutex> lock(planner_mutex());
        st->in = fftwf_alloc_complex(st->n);
        st->spectrum = fftwf_alloc_complex(st->n);
        st->bins = fftwf_alloc_complex(st->l);
        st->out = fftwf_alloc_complex(st->l);
        if (!st->in || !st->spectrum || !st->bins || !st->out) {
            error = "out of memory for the channelizer's FFTs";
            return false;
        }
        st->forward = fftwf_plan_dft_1d(static_cast<int>(st->n), st->in, st->spectrum, FFTW_FORWARD, FFTW_ESTIMATE);
        st->inverse = fftwf_plan_dft_1d(static_cast<int>(st->l), st->bins, st->out, FFTW_BACKWARD, FFTW_ESTIMATE);
    }
    if (!st->forward || !st->inverse) {
        error = "FFTW cannot plan the channelizer's FFTs";
        return false;
    }
    std::memset(st->in, 0, sizeof(fftwf_complex) * st->n);
    std::memset(st->bins, 0, sizeof(fftwf_complex) * st->l);
    // The first block starts with the overlap zeroed, as if silence came first.
    st->fill = st->n - st->hop;
    s = std::move(st);
    return true;
}

void channelizer::state::emit(size_t c, const float *pairs, size_t count, std::vector<float> &result) {
    channel_state &ch = channels[c];
    size_t at = result.size();
    size_t room = static_cast<size_t>(static_cast<double>(count) * output_rate / channel_rate) + 64;
    result.resize(at + 2 * room);
    size_t used = 0, made = 0;
    soxr_process(ch.soxr, pairs, count, &used, result.data() + at, room, &made);
    result.resize(at + 2 * made);
    ch.delivered += static_cast<long long>(made);
}

void channelizer::state::run_block(std::vector<std::vector<float>> &result) {
    fftwf_execute(forward);
    const cf *x = reinterpret_cast<const cf *>(spectrum);
    const long long size = static_cast<long long>(n);
    const size_t valid = l - discard;
    // Output index of this block's first valid sample.
    const double first = static_cast<double>(blocks) * static_cast<double>(valid);
    cf *y = reinterpret_cast<cf *>(bins);
    const cf *z = reinterpret_cast<const cf *>(out);
    for (size_t c = 0; c < channels.size(); ++c) {
        channel_state &ch = channels[c];
        // The kept bins about the channel, weighed by the filter: below the
        // centre to the top of the channel's FFT, from it up to its bottom;
        // in at most two runs each, as the capture's bins wrap.
        const cf *g = gain.data();
        weigh(y + l - kept, x, ch.bin - kept, g, kept, size);
        weigh(y, x, ch.bin, g + kept, kept + 1, size);
        fftwf_execute(inverse);
        // The bin shift started this block's phase at its first sample; take
        // it off, and the residual offset with it, from the stream's time.
        // The residual is taken off at the time the filter's output stands
        // for, its delay ago.
        double phase = -static_cast<double>(ch.turn) / static_cast<double>(n) -
                       std::fmod(ch.residual * (first - static_cast<double>(taps - 1) / 2), 1.0);
        const float br = static_cast<float>(std::cos(2 * std::numbers::pi * phase));
        const float bi = static_cast<float>(std::sin(2 * std::numbers::pi * phase));
        // Straight into the channel's output at 48000/s; through libsoxr's
        // staging otherwise.
        float *to = staged.data();
        if (!ch.soxr) {
            size_t at = result[c].size();
            result[c].resize(at + 2 * valid);
            to = result[c].data() + at;
            ch.delivered += static_cast<long long>(valid);
        } else {
            staged.resize(2 * valid);
            to = staged.data();
        }
        const float *zv = reinterpret_cast<const float *>(z + discard);
        if (ch.spin.empty()) {
            for (size_t t = 0; t < valid; ++t) {
                float a = zv[2 * t], b = zv[2 * t + 1];
                to[2 * t] = a * br - b * bi;
                to[2 * t + 1] = a * bi + b * br;
            }
        } else {
            // The block's phase times the residual's turn t samples on.
            const float *sv = ch.spin.data();
            for (size_t t = 0; t < valid; ++t) {
                float wr = br * sv[2 * t] - bi * sv[2 * t + 1];
                float wi = br * sv[2 * t + 1] + bi * sv[2 * t];
                float a = zv[2 * t], b = zv[2 * t + 1];
                to[2 * t] = a * wr - b * wi;
                to[2 * t + 1] = a * wi + b * wr;
            }
        }
        ch.turn = (ch.turn + ch.block_turn) % size;
        if (ch.soxr) emit(c, staged.data(), valid, result[c]);
    }
    ++blocks;
    std::memmove(in, in + hop, sizeof(fftwf_complex) * (n - hop));
    fill = n - hop;
}

void channelizer::process(const float *iq, size_t frames, std::vector<std::vector<float>> &out) {
    if (!s) return;
    out.resize(s->channels.size());
    s->frames_in += static_cast<long long>(frames);
    while (frames > 0) {
        size_t take = std::min(frames, s->n - s->fill);
        float *to = reinterpret_cast<float *>(s->in + s->fill);
        for (size_t i = 0; i < 2 * take; ++i) to[i] = std::isfinite(iq[i]) ? iq[i] : 0.0f;
        s->fill += take;
        iq += 2 * take;
        frames -= take;
        if (s->fill == s->n) s->run_block(out);
    }
}

void channelizer::finish(std::vector<std::vector<float>> &out) {
    if (!s) return;
    out.resize(s->channels.size());
    std::vector<size_t> before(out.size());
    for (size_t c = 0; c < out.size(); ++c) before[c] = out[c].size() / 2;
    const size_t valid = s->l - s->discard;
    // Channel-rate outputs the input calls for: its length and the delay.
    double wanted =
        std::ceil(static_cast<double>(s->frames_in) * static_cast<double>(s->l) / static_cast<double>(s->n)) +
        static_cast<double>(s->taps - 1) / 2;
    while (static_cast<double>(s->blocks) * static_cast<double>(valid) < wanted) {
        std::memset(s->in + s->fill, 0, sizeof(fftwf_complex) * (s->n - s->fill));
        s->fill = s->n;
        s->run_block(out);
    }
    double keep = wanted;
    if (s->channel_rate != output_rate) {
        for (size_t c = 0; c < out.size(); ++c) {
            size_t at = out[c].size();
            out[c].resize(at + 2 * 4096);
            size_t made = 0;
            soxr_process(s->channels[c].soxr, nullptr, 0, nullptr, out[c].data() + at, 4096, &made);
            out[c].resize(at + 2 * made);
            s->channels[c].delivered += static_cast<long long>(made);
        }
        keep = std::round(static_cast<double>(s->frames_in) * output_rate / s->rate + delay_frames());
    }
    // Trim what came after, only from what this call appended.
    for (size_t c = 0; c < out.size(); ++c) {
        long long excess = s->channels[c].delivered - static_cast<long long>(keep);
        long long appended = static_cast<long long>(out[c].size() / 2 - before[c]);
        long long drop = std::clamp(excess, 0LL, appended);
        out[c].resize(out[c].size() - 2 * static_cast<size_t>(drop));
        s->channels[c].delivered -= drop;
    }
    // Whatever comes after the end belongs to no stream.
    s.reset();
}

size_t channelizer::channel_count() const { return s ? s->channels.size() : 0; }
double channelizer::delay_frames() const {
    return s ? static_cast<double>(s->taps - 1) / 2 * output_rate / s->channel_rate : 0;
}
double channelizer::channel_rate() const { return s ? s->channel_rate : 0; }
size_t channelizer::fft_size() const { return s ? s->n : 0; }
size_t channelizer::channel_fft_size() const { return s ? s->l : 0; }
