// SPDX-License-Identifier: MIT
// A real network's pages: an off-air recording, resampled to 48000
// samples/s, through duoslice -i and pagewick -F as real processes.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <string>
#include <vector>

#include "testing/process.h"

namespace {

// The recording as mono float samples at 48000 samples/s; empty if it
// cannot be read.
std::vector<float> baseband_48k(const std::string &path) {
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> mono(static_cast<std::size_t>(got));
    for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = frames[i * static_cast<std::size_t>(info.channels)];
    const double ratio = 48000.0 / info.samplerate;
    std::vector<float> out(static_cast<std::size_t>(static_cast<double>(mono.size()) * ratio) + 16);
    std::size_t done = 0;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    if (soxr_oneshot(info.samplerate, 48000, 1, mono.data(), mono.size(), nullptr, out.data(), out.size(), &done,
                     nullptr, &quality, nullptr) != nullptr)
        return {};
    out.resize(done);
    return out;
}

TEST(PagewickRecording, NetworkTimeSignalAt1200BitsPerSecond) {
    const std::vector<float> samples = baseband_48k(POCSAG_TESTDATA "/pocsag_network_1200.flac");
    if (samples.empty()) GTEST_SKIP() << "the recording is not there or cannot be read";
    const std::string chain = "\"$0\" -i | \"$1\" -F";
    program_result r = run_program("/bin/sh", {"-c", chain, DUOSLICE_PATH, PAGEWICK_PATH}, as_bytes(samples), 4096);
    EXPECT_EQ(r.exit_code, 0);
    // The text is followed by a NUL character, as the network sends it.
    EXPECT_EQ(r.out, "address:273040;function:3;message:+++TIME=0008300324+++TIME=0008300324\n");
}

}  // namespace
