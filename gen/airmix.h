// SPDX-License-Identifier: MIT
#pragma once
// airmix, the wideband companion of airmint: several narrowband
// transmissions (airmint's baseband, 32-bit float at 48000 samples/s) put
// on chosen offsets of one wideband IQ capture, each FM-modulated at its
// deviation and level, with white noise, written as cu8, cs16 or cf32.
//
// Each transmission's baseband is brought to the capture rate by libsoxr and
// integrated into the phase of a carrier at its offset: 1 unit of baseband
// is deviation_hz of frequency (1944 Hz: the outer symbol of DMR and System
// Fusion; a POCSAG baseband of +-1 at 4500 Hz). The carrier is there only
// while its transmission lasts.
//
// Levels are dBFS of the carrier's power (0 dBFS: amplitude 1, cu8's and
// cs16's full scale); noise is given as its power in 12.5 kHz, dBFS, so that
// the signal-to-noise ratio of a channel is the level less the noise.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class airmix_format { cu8, cs16, cf32 };

struct airmix_signal {
    double offset_hz = 0;
    double level_db = -20;
    double start_seconds = 0;
    double deviation_hz = 1944;
    std::vector<float> baseband;  // 48000 samples/s
    std::string name;             // for messages: the file or "airmint ARGS"
};

struct airmix_settings {
    double rate = 0;
    airmix_format format = airmix_format::cu8;
    std::vector<airmix_signal> signals;
    bool noisy = false;
    double noise_db = -100;  // power in 12.5 kHz, dBFS
    uint64_t seed = 1;
    double seconds = 0;  // 0: to the end of the last transmission, and 0.1 s
};

// Usage text, a format with one "%s" for the version.
extern const char airmix_usage[];

// Parses the command line (argv[0] is the program). False with a one-line
// reason for a bad option, a signal outside the capture, a file that cannot
// be read or airmint arguments that airmint refuses.
bool airmix_parse(int argc, char **argv, airmix_settings &settings, std::string &error);

// A transmission airmint makes from its arguments (its options, separated
// by spaces, quoted as in a shell), as f32 baseband; false with airmint's
// reason.
bool airmix_run_airmint(const std::string &arguments, std::vector<float> &baseband, std::string &error);

// Writes the capture to out. Counts the samples clipped to the format's full
// scale in clipped. False with a reason if it cannot be written.
bool airmix_write(const airmix_settings &settings, FILE *out, long long &clipped, std::string &error);
