// SPDX-License-Identifier: MIT
#pragma once
// A sound file read through libsndfile (WAV, FLAC, ...; any rate, the first
// channel), from a path or from standard input.

#include <memory>
#include <string>

#include "source.h"

// Opens path ("-" for standard input). Null with a one-line reason.
std::unique_ptr<sample_source> open_sound_file(const std::string &path, std::string &error);
