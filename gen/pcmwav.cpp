// SPDX-License-Identifier: MIT
// pcmwav: writes the raw native-endian mono samples of standard input (16-bit
// integers, or 32-bit floats with -f) into a WAV file through libsndfile, as
// they arrive, so that speech from voxloom and speechsieve can be played.
// The header is brought up to date after every block, so the file of a run
// that is stopped stays playable up to its last block.
// Usage: pcmwav [-r RATE] [-f] OUTPUT.wav < samples

#include <getopt.h>
#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool_frame.h"

namespace {

const char usage[] =
    "Usage: pcmwav [-r RATE] [-f] OUTPUT.wav < samples\n\n"
    "Writes the raw mono samples of standard input as a WAV file.\n"
    " -r, --rate RATE   samples per second (default 8000)\n"
    " -f, --float       32-bit float samples in and out (default: 16-bit integers)\n"
    " -h, --help        show this message\n"
    " -v, --version     print version and exit\n";

[[noreturn]] void fail(const char *what, const char *detail) {
    std::fprintf(stderr, "pcmwav: %s%s\n", what, detail);
    std::exit(2);
}

// Bytes read per block: 4096 samples of either width.
constexpr std::size_t block_bytes = 16384;

// Copies standard input into the open file, whole samples of sample_bytes
// each; a partial sample is kept for the next read and dropped at the end.
bool copy_samples(SNDFILE *file, std::size_t sample_bytes) {
    alignas(float) unsigned char block[block_bytes];
    std::size_t held = 0;
    std::size_t n;
    while ((n = std::fread(block + held, 1, sizeof block - held, stdin)) > 0) {
        held += n;
        const std::size_t count = held / sample_bytes;
        const sf_count_t written =
            sample_bytes == sizeof(float)
                ? sf_write_float(file, reinterpret_cast<const float *>(block), static_cast<sf_count_t>(count))
                : sf_write_short(file, reinterpret_cast<const int16_t *>(block), static_cast<sf_count_t>(count));
        if (written != static_cast<sf_count_t>(count)) return false;
        held -= count * sample_bytes;
        std::memmove(block, block + count * sample_bytes, held);
    }
    return !std::ferror(stdin);
}

}  // namespace

int main(int argc, char **argv) {
    const struct option options[] = {{"rate", required_argument, nullptr, 'r'},
                                     {"float", no_argument, nullptr, 'f'},
                                     {"help", no_argument, nullptr, 'h'},
                                     {"version", no_argument, nullptr, 'v'},
                                     {nullptr, 0, nullptr, 0}};
    long rate = 8000;
    bool use_float = false;
    int c;
    while ((c = getopt_long(argc, argv, "r:fhv", options, nullptr)) != -1) {
        if (c == 'r') {
            char *end = nullptr;
            rate = std::strtol(optarg, &end, 10);
            if (*end != 0 || rate < 1 || rate > 1000000) fail("the rate is a number of samples per second: ", optarg);
        } else if (c == 'f') {
            use_float = true;
        } else if (c == 'h') {
            std::fputs(usage, stderr);
            return 0;
        } else if (c == 'v') {
            print_version();
            return 0;
        } else {
            std::exit(2);
        }
    }
    if (optind + 1 != argc) fail("name one output file; see pcmwav -h", "");

    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (use_float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SNDFILE *file = sf_open(argv[optind], SFM_WRITE, &info);
    if (!file) fail("cannot write ", argv[optind]);
    // Float samples are stored as they come: no normalisation, no clipping.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    bool ok = copy_samples(file, use_float ? sizeof(float) : sizeof(int16_t));
    ok = sf_close(file) == 0 && ok;
    if (!ok) fail("cannot write ", argv[optind]);
    return 0;
}
