// SPDX-License-Identifier: MIT
// duolock on real off-air POCSAG recordings (testdata/, 22050 samples/s
// FLAC): read with libsndfile, resampled to 48000 samples/s with libsoxr,
// then duolock and pagewick as real processes. The pages are the ones an
// independent decoder prints for the same recordings.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <string>
#include <vector>

#include "testing/process.h"

namespace {

// The recording as float samples at 48000 samples/s; empty if it cannot be
// read.
std::vector<float> baseband_48k(const std::string &path) {
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> in(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    const sf_count_t got = sf_readf_float(file, in.data(), info.frames);
    sf_close(file);
    if (info.channels != 1 || got != info.frames) return {};
    std::vector<float> out(in.size() * 48000 / static_cast<std::size_t>(info.samplerate) + 64);
    std::size_t written = 0;
    const soxr_error_t error = soxr_oneshot(info.samplerate, 48000, 1, in.data(), in.size(), nullptr, out.data(),
                                            out.size(), &written, nullptr, nullptr, nullptr);
    if (error) return {};
    out.resize(written);
    return out;
}

}  // namespace

TEST(LockRecordings, DuolockDecodesTheRealNetworkAtBothRates) {
    const struct {
        const char *file;
        const char *rate;
        std::string pages;
    } cases[] = {
        {"pocsag_network_512.flac", "512", "address:273040;message:512 B SIDE ZZZZZZ\n"},
        {"pocsag_network_1200.flac", "1200", "address:273040;message:+++TIME=0008300324+++TIME=0008300324\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<float> samples = baseband_48k(std::string(TESTDATA_DIR) + "/" + c.file);
        ASSERT_GT(samples.size(), 48000u);
        const program_result bits = run_program(DUOLOCK_PATH, {"-i", "-r", c.rate}, as_bytes(samples));
        EXPECT_EQ(bits.exit_code, 0);
        const program_result pages = run_program(PAGEWICK_PATH, {}, bits.out);
        EXPECT_EQ(pages.out, c.pages);
        // The other polarity gives no page.
        const program_result wrong = run_program(DUOLOCK_PATH, {"-r", c.rate}, as_bytes(samples));
        EXPECT_EQ(run_program(PAGEWICK_PATH, {}, wrong.out).out, "");
    }
}
