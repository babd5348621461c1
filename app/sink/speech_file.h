// SPDX-License-Identifier: MIT
#pragma once
// The speech of one call as a WAV file: 8000 samples/s, mono, 16-bit PCM,
// written through libsndfile with the header brought up to date after every
// write, so that the file is whole whenever the run stops.

#include <sndfile.h>

#include <cstdint>
#include <string>

#include "event.h"

inline constexpr int speech_rate = 8000;

struct speech_file {
    SNDFILE *file = nullptr;
    std::string path;
    long long samples = 0;
};

// The file name of a call: its start time, protocol, slot and ids, e.g.
// "0012.340s-DMR-slot0-2001-to-9.wav" or "0003.200s-YSF-N0CALL-to-ALL.wav".
std::string speech_file_name(const event &call);

// Creates the file for call in folder (a name not yet taken). False with a reason.
bool speech_file_open(speech_file &speech, const std::string &folder, const event &call, std::string &error);

void speech_file_write(speech_file &speech, const int16_t *samples, size_t count);

void speech_file_close(speech_file &speech);
