// SPDX-License-Identifier: MIT
#pragma once
// The speech of each call in a WAV file of its own in a folder (-a DIR).

#include <memory>
#include <string>

#include "sink.h"

// Null with a one-line reason when the folder cannot be made or written.
std::unique_ptr<event_sink> make_speech_sink(const std::string &folder, std::string &error);
