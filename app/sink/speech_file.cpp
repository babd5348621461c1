// SPDX-License-Identifier: MIT
#include "speech_file.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

namespace {

// A call sign or alias as a file-name part: letters, digits and '-' only.
std::string name_part(const std::string &text) {
    std::string out;
    for (unsigned char c : text) out += (std::isalnum(c) ? static_cast<char>(c) : '-');
    return out.empty() ? "unknown" : out;
}

bool exists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string speech_file_name(const event &call) {
    char time[32];
    std::snprintf(time, sizeof time, "%08.3fs", call.time);
    std::string name = time;
    if (call.protocol == event_protocol::dmr)
        name += "-DMR-slot" + std::to_string(call.slot) + "-" + std::to_string(call.source) + "-to-" +
                std::to_string(call.target);
    else
        name += "-YSF-" + name_part(call.ysf_source) + "-to-" + name_part(call.ysf_target);
    return name + ".wav";
}

bool speech_file_open(speech_file &speech, const std::string &folder, const event &call, std::string &error) {
    std::string base = folder + "/" + speech_file_name(call);
    std::string path = base;
    for (int n = 2; exists(path) && n < 1000; ++n)
        path = base.substr(0, base.size() - 4) + "-" + std::to_string(n) + ".wav";
    SF_INFO info{};
    info.samplerate = speech_rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    speech.file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!speech.file) {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    sf_command(speech.file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    speech.path = path;
    speech.samples = 0;
    return true;
}

void speech_file_write(speech_file &speech, const int16_t *samples, size_t count) {
    if (!speech.file || count == 0) return;
    speech.samples += sf_write_short(speech.file, samples, static_cast<sf_count_t>(count));
}

void speech_file_close(speech_file &speech) {
    if (speech.file) sf_close(speech.file);
    speech.file = nullptr;
}
