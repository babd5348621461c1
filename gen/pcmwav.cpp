// pcmwav: wraps raw native-endian 16-bit mono samples from standard input
// into a WAV file (RIFF, PCM), so that speech from voxloom and speechsieve
// can be played. Usage: pcmwav [-r RATE] OUTPUT.wav < samples

#include <getopt.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wav_header.h"

namespace {

const char usage[] =
    "Usage: pcmwav [-r RATE] OUTPUT.wav < samples\n\n"
    "Writes the raw 16-bit mono samples of standard input as a WAV file.\n"
    " -r, --rate RATE   samples per second (default 8000)\n"
    " -h, --help        show this message\n";

[[noreturn]] void fail(const char *what, const char *detail) {
    std::fprintf(stderr, "pcmwav: %s%s\n", what, detail);
    std::exit(2);
}

}  // namespace

int main(int argc, char **argv) {
    const struct option options[] = {
        {"rate", required_argument, nullptr, 'r'}, {"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
    long rate = 8000;
    int c;
    while ((c = getopt_long(argc, argv, "r:h", options, nullptr)) != -1) {
        if (c == 'r') {
            char *end = nullptr;
            rate = std::strtol(optarg, &end, 10);
            if (*end != 0 || rate < 1 || rate > 1000000) fail("the rate is a number of samples per second: ", optarg);
        } else if (c == 'h') {
            std::fputs(usage, stderr);
            return 0;
        } else {
            std::exit(2);
        }
    }
    if (optind + 1 != argc) fail("name one output file; see pcmwav -h", "");

    std::vector<uint8_t> samples;
    uint8_t block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, stdin)) > 0) samples.insert(samples.end(), block, block + n);
    samples.resize(samples.size() & ~static_cast<std::size_t>(1));  // whole samples only

    uint8_t header[wav_header_bytes];
    if (!wav_header(static_cast<uint32_t>(rate), samples.size(), header)) fail("too many samples for one WAV file", "");
    FILE *out = std::fopen(argv[optind], "wb");
    if (!out) fail("cannot write ", argv[optind]);
    bool ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;
    // WAV samples are little-endian; swap them on a big-endian machine.
    const uint16_t probe = 1;
    if (*reinterpret_cast<const uint8_t *>(&probe) == 0)
        for (std::size_t i = 0; i + 1 < samples.size(); i += 2) std::swap(samples[i], samples[i + 1]);
    ok = ok && std::fwrite(samples.data(), 1, samples.size(), out) == samples.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) fail("cannot write ", argv[optind]);
    return 0;
}
