// SPDX-License-Identifier: MIT
#include "sample_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// Bytes of one frame (a sample, or an I/Q pair) of a raw format.
size_t frame_bytes(input_format format) {
    switch (format) {
        case input_format::s16:
            return 2;
        case input_format::f32:
            return 4;
        case input_format::cu8:
            return 2;
        case input_format::cs16:
            return 4;
        case input_format::cf32:
            return 8;
        case input_format::file:
            return 0;
    }
    return 0;
}

constexpr size_t block_frames = 4096;

bool open_sound_file(const zelvane_options &options, sample_input &in, std::string &error) {
    SF_INFO info{};
    if (options.input == "-")
        in.file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, 0);
    else
        in.file = sf_open(options.input.c_str(), SFM_READ, &info);
    if (!in.file) {
        const char *where = options.input == "-" ? "standard input" : options.input.c_str();
        error = std::string("cannot read '") + where + "' as audio: " + sf_strerror(nullptr) +
                (options.input == "-" ? " (raw input needs --format and --rate)" : "");
        return false;
    }
    if (info.samplerate < 1000 || info.channels < 1) {
        error = "'" + options.input + "' has no usable sample rate or channel";
        return false;
    }
    in.channels = info.channels;
    in.rate = info.samplerate;
    in.total_frames = info.seekable ? info.frames : -1;
    in.regular_file = options.input != "-";
    return true;
}

bool open_raw(const zelvane_options &options, sample_input &in, std::string &error) {
    if (options.input == "-") {
        in.fd = STDIN_FILENO;
    } else {
        in.fd = open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        if (in.fd < 0) {
            error = "cannot open '" + options.input + "': " + std::strerror(errno);
            return false;
        }
        in.owns_fd = true;
    }
    struct stat st {};
    if (fstat(in.fd, &st) == 0 && S_ISREG(st.st_mode)) {
        in.regular_file = true;
        in.total_frames = static_cast<long long>(st.st_size) / static_cast<long long>(frame_bytes(in.format));
    } else if (fstat(in.fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "'" + options.input + "' is a folder, not a recording";
        return false;
    }
    in.rate = static_cast<double>(options.rate);
    return true;
}

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }

// Converts whole raw frames of bytes to floats in in.frames (IQ interleaved).
void convert_raw(sample_input &in, const unsigned char *bytes, size_t frames) {
    in.frames.clear();
    switch (in.format) {
        case input_format::s16:
        case input_format::cs16: {
            size_t values = frames * (in.format == input_format::cs16 ? 2 : 1);
            for (size_t n = 0; n < values; ++n) {
                int16_t v;
                std::memcpy(&v, bytes + 2 * n, 2);
                in.frames.push_back(static_cast<float>(v) / 32768.0f);
            }
            break;
        }
        case input_format::f32:
        case input_format::cf32: {
            size_t values = frames * (in.format == input_format::cf32 ? 2 : 1);
            for (size_t n = 0; n < values; ++n) {
                float v;
                std::memcpy(&v, bytes + 4 * n, 4);
                in.frames.push_back(finite_or_zero(v));
            }
            break;
        }
        case input_format::cu8:
            for (size_t n = 0; n < 2 * frames; ++n)
                in.frames.push_back((static_cast<float>(bytes[n]) - 127.5f) / 127.5f);
            break;
        case input_format::file:
            break;
    }
}

// Reads one block of raw input into in.frames; false at end of input.
bool read_raw(sample_input &in) {
    unsigned char buffer[block_frames * 8];
    ssize_t n = read(in.fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        in.frames.clear();
        return true;
    }
    if (n <= 0) return false;
    in.partial.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(n));
    size_t size = frame_bytes(in.format);
    size_t frames = in.partial.size() / size;
    convert_raw(in, reinterpret_cast<const unsigned char *>(in.partial.data()), frames);
    in.partial.erase(0, frames * size);
    in.frames_read += static_cast<long long>(frames);
    return true;
}

// Reads one block of a sound file into in.frames (first channel); false at end.
bool read_sound_file(sample_input &in) {
    std::vector<float> all(block_frames * static_cast<size_t>(in.channels));
    sf_count_t got = sf_readf_float(in.file, all.data(), static_cast<sf_count_t>(block_frames));
    if (got <= 0) return false;
    in.frames.resize(static_cast<size_t>(got));
    for (sf_count_t n = 0; n < got; ++n)
        in.frames[static_cast<size_t>(n)] =
            finite_or_zero(all[static_cast<size_t>(n) * static_cast<size_t>(in.channels)]);
    in.frames_read += got;
    return true;
}

}  // namespace

bool open_sample_input(const zelvane_options &options, sample_input &in, std::string &error) {
    in = sample_input{};
    in.format = options.format;
    bool opened =
        options.format == input_format::file ? open_sound_file(options, in, error) : open_raw(options, in, error);
    if (!opened) {
        close_sample_input(in);
        return false;
    }
    // IQ is brought to 48000 pairs/s first (the resampler's low-pass is the
    // channel filter) and demodulated there; discriminator audio is resampled
    // as it is.
    if (is_iq(in.format)) discriminator_init(in.discriminator, demod_rate);
    if (!resampler_open(in.resampler, in.rate, demod_rate, is_iq(in.format) ? 2 : 1, error)) {
        close_sample_input(in);
        return false;
    }
    return true;
}

int input_wait_fd(const sample_input &in) { return in.file || in.regular_file ? -1 : in.fd; }

void read_input_block(sample_input &in, std::vector<float> &out) {
    if (in.at_end) return;
    bool more = in.file ? read_sound_file(in) : read_raw(in);
    std::vector<float> resampled;
    if (more)
        resampler_process(in.resampler, in.frames.data(), in.frames.size() / in.resampler.channels, resampled);
    else
        resampler_flush(in.resampler, resampled);
    if (is_iq(in.format))
        discriminator_process(in.discriminator, resampled.data(), resampled.size() / 2, out);
    else
        out.insert(out.end(), resampled.begin(), resampled.end());
    if (!more) in.at_end = true;
}

void close_sample_input(sample_input &in) {
    if (in.file) sf_close(in.file);
    in.file = nullptr;
    if (in.owns_fd && in.fd >= 0) close(in.fd);
    in.fd = -1;
    resampler_close(in.resampler);
}
