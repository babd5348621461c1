// SPDX-License-Identifier: MIT
#include "file_source.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

namespace {

class sound_file_source final : public sample_source {
   public:
    sound_file_source(SNDFILE *file, const SF_INFO &sf, bool piped) : file_(file), channels_(sf.channels) {
        info_.rate = sf.samplerate;
        info_.live = piped;
        info_.total_frames = sf.seekable ? sf.frames : -1;
    }
    ~sound_file_source() override { sf_close(file_); }

    const source_info &info() const override { return info_; }

    bool read(std::vector<float> &out, size_t max_frames, int) override {
        if (ended_) return false;
        buffer_.resize(max_frames * static_cast<size_t>(channels_));
        sf_count_t got = sf_readf_float(file_, buffer_.data(), static_cast<sf_count_t>(max_frames));
        if (got <= 0) {
            ended_ = true;
            return false;
        }
        for (sf_count_t n = 0; n < got; ++n) {
            float v = buffer_[static_cast<size_t>(n) * static_cast<size_t>(channels_)];
            out.push_back(std::isfinite(v) ? v : 0.0f);
        }
        return true;
    }

   private:
    SNDFILE *file_;
    int channels_;
    source_info info_;
    std::vector<float> buffer_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<sample_source> open_sound_file(const std::string &path, std::string &error) {
    SF_INFO info{};
    const bool standard_input = path == "-";
    struct stat st {};
    const bool piped = standard_input && fstat(STDIN_FILENO, &st) == 0 && !S_ISREG(st.st_mode);
    SNDFILE *file =
        standard_input ? sf_open_fd(STDIN_FILENO, SFM_READ, &info, 0) : sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        const std::string where = standard_input ? "standard input" : path;
        error = "cannot read '" + where + "' as audio: " + sf_strerror(nullptr) +
                " (raw input needs --format and --rate" +
                (piped ? "; a FLAC or other compressed recording needs a file name, not a pipe)" : ")");
        return nullptr;
    }
    if (info.samplerate < 1000 || info.channels < 1) {
        sf_close(file);
        error = "'" + path + "' has no usable sample rate or channel";
        return nullptr;
    }
    return std::make_unique<sound_file_source>(file, info, piped);
}
