// SPDX-License-Identifier: MIT
// speechsieve: band-limits synthesized speech (200 Hz to 3400 Hz at 8000
// samples/s), 16-bit samples in and out, or 32-bit floats with -f.

#include <cstdint>
#include <cstdio>

#include "speech_band.h"
#include "tool_frame.h"

namespace {

const char usage_text[] =
    "speechsieve version %s\n\nUsage: speechsieve [options]\n\nAvailable options:\n"
    " -h, --help      show this message\n"
    " -f, --float     use 32-bit float in and out (without this flag: 16-bit signed integer)\n"
    " -v, --version   print version and exit\n";

const char short_options[] = "hfv";
const struct option long_options[] = {
    {"float", no_argument, nullptr, 'f'},
    {"version", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

constexpr std::size_t block_samples = 32;

struct speechsieve_options {
    bool float_mode = false;
};

void handle_option(int letter, const char *, void *context) {
    if (letter != 'f') return;
    std::fprintf(stderr, "speechsieve: switching to floating point operation\n");
    static_cast<speechsieve_options *>(context)->float_mode = true;
}

speechsieve_options options;
speech_band_state state;
union {
    std::int16_t int16[block_samples];
    float float32[block_samples];
} block;

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    parse_options(argc, argv, short_options, long_options, usage_text, handle_option, &options);
    if (options.float_mode) {
        run_stream_loop(block.float32, sizeof(float), block_samples, [](std::size_t n) {
            speech_band_filter_float(state, block.float32, n);
            std::fwrite(block.float32, sizeof(float), n, stdout);
            flush_output();
        });
    } else {
        run_stream_loop(block.int16, sizeof(std::int16_t), block_samples, [](std::size_t n) {
            speech_band_filter_int16(state, block.int16, n);
            std::fwrite(block.int16, sizeof(std::int16_t), n, stdout);
            flush_output();
        });
    }
    return 0;
}
