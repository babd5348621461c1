// SPDX-License-Identifier: MIT
#include "raw_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

class raw_source final : public sample_source {
   public:
    raw_source(int fd, bool owns, raw_format format, source_info info)
        : fd_(fd), owns_(owns), format_(format), info_(info) {}
    ~raw_source() override {
        if (owns_) close(fd_);
    }

    const source_info &info() const override { return info_; }
    int wait_fd() const override { return info_.live ? fd_ : -1; }
    std::string error() const override { return error_; }

    // Everything available now, up to max_frames: a wideband capture of
    // megabytes a second is served in one pass, not one small read a pass.
    bool read(std::vector<float> &out, size_t max_frames, int timeout_ms) override {
        if (ended_) return false;
        const size_t size = raw_frame_bytes(format_);
        const size_t want = max_frames * size;
        buffer_.resize(want + size);
        if (!partial_.empty()) std::memcpy(buffer_.data(), partial_.data(), partial_.size());
        size_t have = partial_.size();
        bool first = true;
        while (have < want) {
            if (info_.live) {
                pollfd p{fd_, POLLIN, 0};
                int ready = poll(&p, 1, first ? timeout_ms : 0);
                if (ready <= 0) break;  // nothing more now (or a signal: the caller looks)
            }
            first = false;
            ssize_t n = ::read(fd_, buffer_.data() + have, want - have);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) break;
            if (n < 0) error_ = std::string("read error: ") + std::strerror(errno);
            if (n <= 0) {
                ended_ = true;
                break;
            }
            have += static_cast<size_t>(n);
            if (!info_.live) break;  // a file: one read a call keeps the engine's passes short
        }
        const size_t frames = have / size;
        convert_raw(format_, buffer_.data(), frames, out);
        partial_.assign(buffer_.begin() + static_cast<long>(frames * size), buffer_.begin() + static_cast<long>(have));
        return !ended_;
    }

   private:
    int fd_;
    bool owns_;
    raw_format format_;
    source_info info_;
    std::vector<unsigned char> buffer_;
    std::vector<unsigned char> partial_;  // bytes short of a whole frame
    bool ended_ = false;
    std::string error_;
};

}  // namespace

size_t raw_frame_bytes(raw_format format) {
    switch (format) {
        case raw_format::s16:
        case raw_format::cu8:
            return 2;
        case raw_format::f32:
        case raw_format::cs16:
            return 4;
        case raw_format::cf32:
            return 8;
    }
    return 1;
}

bool raw_is_complex(raw_format format) {
    return format == raw_format::cu8 || format == raw_format::cs16 || format == raw_format::cf32;
}

void convert_raw(raw_format format, const unsigned char *bytes, size_t frames, std::vector<float> &out) {
    const size_t values = frames * (raw_is_complex(format) ? 2 : 1);
    switch (format) {
        case raw_format::s16:
        case raw_format::cs16:
            for (size_t n = 0; n < values; ++n) {
                int16_t v;
                std::memcpy(&v, bytes + 2 * n, 2);
                out.push_back(static_cast<float>(v) / 32768.0f);
            }
            break;
        case raw_format::f32:
        case raw_format::cf32:
            for (size_t n = 0; n < values; ++n) {
                float v;
                std::memcpy(&v, bytes + 4 * n, 4);
                out.push_back(std::isfinite(v) ? v : 0.0f);
            }
            break;
        case raw_format::cu8:
            for (size_t n = 0; n < values; ++n) out.push_back((static_cast<float>(bytes[n]) - 127.5f) / 127.5f);
            break;
    }
}

std::unique_ptr<sample_source> open_raw_source(const std::string &path, raw_format format, double rate,
                                               std::string &error) {
    int fd = STDIN_FILENO;
    bool owns = false;
    if (path != "-") {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot open '" + path + "': " + std::strerror(errno);
            return nullptr;
        }
        owns = true;
    }
    source_info info;
    info.rate = rate;
    info.complex = raw_is_complex(format);
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (owns) close(fd);
        error = "'" + path + "' is a folder, not a recording";
        return nullptr;
    }
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        info.total_frames = static_cast<long long>(st.st_size) / static_cast<long long>(raw_frame_bytes(format));
    } else {
        info.live = true;
    }
    return std::make_unique<raw_source>(fd, owns, format, info);
}
