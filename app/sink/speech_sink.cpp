// SPDX-License-Identifier: MIT
#include "speech_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "speech_file.h"

namespace {

class speech_sink final : public event_sink {
   public:
    explicit speech_sink(std::string folder) : folder_(std::move(folder)) {}

    void take(event &e) override {
        if (e.call_id == 0) return;
        if (e.kind == event_kind::call && !files_.count(e.call_id)) {
            speech_file &f = files_[e.call_id];
            std::string error;
            if (!speech_file_open(f, folder_, e, error)) std::fprintf(stderr, "zelvane: %s\n", error.c_str());
        } else if (e.kind == event_kind::call_end) {
            auto it = files_.find(e.call_id);
            if (it == files_.end()) return;
            if (it->second.file) e.audio = it->second.path.substr(it->second.path.rfind('/') + 1);
            speech_file_close(it->second);
            files_.erase(it);
        }
    }

    void speech(uint64_t call_id, const int16_t *samples, size_t count) override {
        auto it = files_.find(call_id);
        if (it != files_.end()) speech_file_write(it->second, samples, count);
    }

    void finish(bool) override {
        for (auto &[id, f] : files_) speech_file_close(f);
        files_.clear();
    }

   private:
    std::string folder_;
    std::map<uint64_t, speech_file> files_;
};

}  // namespace

std::unique_ptr<event_sink> make_speech_sink(const std::string &folder, std::string &error) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode) || access(folder.c_str(), W_OK) != 0) {
            error = "'" + folder + "' is not a folder zelvane can write to";
            return nullptr;
        }
    } else if (mkdir(folder.c_str(), 0777) != 0) {
        error = "cannot make the folder '" + folder + "': " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<speech_sink>(folder);
}
