// SPDX-License-Identifier: MIT
// dsdcc_anchor: the independent DMR and System Fusion decoder of the Debian
// package libdsdcc, as a stream filter, for the sensitivity benchmark's
// anchor column. Reads 48000 samples/s float baseband on standard input,
// feeds it to the library as 16-bit samples, and writes every voice frame
// the library hands out for an external vocoder (9 bytes each, both time
// slots in the order they come) to standard output. With -m FILE, the
// System Fusion source and destination call signs go to FILE as lines
// "source:CALL;target:CALL" whenever they change.
//
// Usage: dsdcc_anchor [-m FILE] [-g GAIN] < baseband > frames

#include <dsdcc/dsd_decoder.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
    const char *meta_path = nullptr;
    double gain = 8000.0;  // a full-deviation outer level of 1.0 becomes 8000
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-m") == 0) meta_path = argv[i + 1];
        else if (std::strcmp(argv[i], "-g") == 0) gain = std::atof(argv[i + 1]);
    }
    FILE *meta = meta_path ? std::fopen(meta_path, "w") : nullptr;
    auto *decoder = new DSDcc::DSDDecoder();
    decoder->setQuiet();
    decoder->enableMbelib(false);
    decoder->enableAudioOut(false);
    decoder->setDecodeMode(DSDcc::DSDDecoder::DSDDecodeAuto, false);
    decoder->setDecodeMode(DSDcc::DSDDecoder::DSDDecodeDMR, true);
    decoder->setDecodeMode(DSDcc::DSDDecoder::DSDDecodeYSF, true);
    std::string last_calls;
    float block[4096];
    for (;;) {
        const std::size_t n = std::fread(block, sizeof block[0], 4096, stdin);
        if (n == 0) break;
        for (std::size_t i = 0; i < n; ++i) {
            double v = std::isfinite(block[i]) ? block[i] * gain : 0.0;
            if (v > 32767.0) v = 32767.0;
            if (v < -32768.0) v = -32768.0;
            decoder->run(static_cast<short>(v));
            if (decoder->mbeDVReady1()) {
                std::fwrite(decoder->getMbeDVFrame1(), 1, 9, stdout);
                decoder->resetMbeDV1();
            }
            if (decoder->mbeDVReady2()) {
                std::fwrite(decoder->getMbeDVFrame2(), 1, 9, stdout);
                decoder->resetMbeDV2();
            }
            if (meta) {
                const std::string calls = std::string("source:") + decoder->getYSFDecoder().getSrc() +
                                          ";target:" + decoder->getYSFDecoder().getDest();
                if (calls != last_calls) {
                    std::fprintf(meta, "%s\n", calls.c_str());
                    last_calls = calls;
                }
            }
        }
    }
    std::fflush(stdout);
    if (meta) std::fclose(meta);
    delete decoder;
    return 0;
}
