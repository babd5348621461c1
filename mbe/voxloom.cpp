// SPDX-License-Identifier: MIT
#include "voxloom.h"

#include <algorithm>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "codec_unpack.h"
#include "tool_frame.h"

const char voxloom_short_options[] = "yu:vfh";

const struct option voxloom_long_options[] = {
    {"yaesu", no_argument, nullptr, 'y'},   {"unvoiced-quality", required_argument, nullptr, 'u'},
    {"version", no_argument, nullptr, 'v'}, {"float", no_argument, nullptr, 'f'},
    {"help", no_argument, nullptr, 'h'},    {nullptr, 0, nullptr, 0},
};

const char voxloom_usage[] =
    "voxloom version %s\n\nUsage: voxloom [options]\n\nAvailable options:\n"
    " -h, --help              show this message\n"
    " -v, --version           print version and exit\n"
    " -u, --unvoiced-quality  set mbelib unvoide quality level (higher values require more cpu; default: 1)\n"
    " -y, --yaesu             activate YSF mode (allows in-stream switching of different mbe codecs)\n"
    " -f, --float             output 32-bit floating-point samples (default: 16-bit signed integer)\n";

const char voxloom_silent_notice[] = "voxloom: built without mbelib: no vocoder, the output is silence\n";

int voxloom_unvoiced_quality(const char *argument, FILE *diagnostics) {
    const char *text = argument ? argument : "";
    // strtol reads the number as atoi does, but saturates instead of
    // overflowing on a long run of digits.
    long value = std::strtol(text, nullptr, 10);
    if (value >= vocoder_min_unvoiced_quality && value <= vocoder_max_unvoiced_quality) return static_cast<int>(value);
    std::fprintf(diagnostics, "rejecting unvoiced quality \"%s\" (mbelib takes 1 to 64), using %d\n", text,
                 vocoder_fallback_unvoiced_quality);
    return vocoder_fallback_unvoiced_quality;
}

void voxloom_apply_option(voxloom_settings &settings, int letter, const char *argument, FILE *diagnostics) {
    switch (letter) {
        case 'u':
            settings.unvoiced_quality = voxloom_unvoiced_quality(argument, diagnostics);
            std::fprintf(diagnostics, "unvoiced quality set to %d\n", settings.unvoiced_quality);
            break;
        case 'y':
            settings.tagged_input = true;
            std::fputs("enabling codec switching support for yaesu\n", diagnostics);
            break;
        case 'f':
            settings.float_output = true;
            std::fputs("voxloom: switching to floating point operation\n", diagnostics);
            break;
        default:
            break;
    }
}

void voxloom_start(voxloom_state &state, const voxloom_settings &settings) {
    state.settings = settings;
    // A value that bypassed the option parser is kept out of mbelib too.
    if (state.settings.unvoiced_quality < vocoder_min_unvoiced_quality ||
        state.settings.unvoiced_quality > vocoder_max_unvoiced_quality)
        state.settings.unvoiced_quality = vocoder_fallback_unvoiced_quality;
    state.mode = codec_mode_ambe;
    state.frame_size = settings.tagged_input ? 0 : ambe_frame_bytes;
    std::memset(state.samples, 0, sizeof state.samples);
    std::memset(state.float_samples, 0, sizeof state.float_samples);
    std::memset(state.err_str, 0, sizeof state.err_str);
    mbe_initMbeParms(&state.cur_mp, &state.prev_mp, &state.prev_mp_enhanced);
}

namespace {

// Mode byte of the next record; false at end of input.
bool read_mode(voxloom_state &state, FILE *input) {
    uint8_t mode;
    if (std::fread(&mode, 1, 1, input) != 1) return false;
    state.mode = mode;
    int size = codec_frame_size(mode);
    if (size != 0) state.frame_size = size;
    return true;
}

// Reads up to frame_size bytes with one fread; false if none arrived.
bool read_frame(voxloom_state &state, FILE *input) {
    std::memset(state.frame, 0, sizeof state.frame);
    return std::fread(state.frame, 1, static_cast<size_t>(state.frame_size), input) != 0;
}

void clear_bit_arrays(voxloom_state &state) {
    std::memset(state.ambe_fr, 0, sizeof state.ambe_fr);
    std::memset(state.ambe_d, 0, sizeof state.ambe_d);
    std::memset(state.imbe_d, 0, sizeof state.imbe_d);
}

// Unpacks the frame for its kind and calls the matching synthesis entry;
// a mode byte of no known kind calls nothing, leaving the last output.
void synthesise(voxloom_state &s) {
    const bool f = s.settings.float_output;
    const int q = s.settings.unvoiced_quality;
    switch (s.mode) {
        case codec_mode_ambe:
            unpack_ambe_frame(s.frame, s.ambe_fr);
            if (f)
                mbe_processAmbe3600x2450Framef(s.float_samples, &s.errs, &s.errs2, s.err_str, s.ambe_fr, s.ambe_d,
                                               &s.cur_mp, &s.prev_mp, &s.prev_mp_enhanced, q);
            else
                mbe_processAmbe3600x2450Frame(s.samples, &s.errs, &s.errs2, s.err_str, s.ambe_fr, s.ambe_d, &s.cur_mp,
                                              &s.prev_mp, &s.prev_mp_enhanced, q);
            break;
        case codec_mode_ambe_parameters:
            unpack_ambe_parameters(s.frame, s.ambe_d);
            if (f)
                mbe_processAmbe2450Dataf(s.float_samples, &s.errs, &s.errs2, s.err_str, s.ambe_d, &s.cur_mp, &s.prev_mp,
                                         &s.prev_mp_enhanced, q);
            else
                mbe_processAmbe2450Data(s.samples, &s.errs, &s.errs2, s.err_str, s.ambe_d, &s.cur_mp, &s.prev_mp,
                                        &s.prev_mp_enhanced, q);
            break;
        case codec_mode_imbe:
            unpack_imbe_parameters(s.frame, s.imbe_d);
            if (f)
                mbe_processImbe4400Dataf(s.float_samples, &s.errs, &s.errs2, s.err_str, s.imbe_d, &s.cur_mp, &s.prev_mp,
                                         &s.prev_mp_enhanced, q);
            else
                mbe_processImbe4400Data(s.samples, &s.errs, &s.errs2, s.err_str, s.imbe_d, &s.cur_mp, &s.prev_mp,
                                        &s.prev_mp_enhanced, q);
            break;
        default:
            break;
    }
    // The text is mbelib's; make sure it ends inside the buffer whatever it wrote.
    s.err_str[voxloom_error_text_bytes - 1] = 0;
}

}  // namespace

void voxloom_synthesise(voxloom_state &state, int mode, const uint8_t *frame, size_t size) {
    state.errs = 0;
    state.errs2 = 0;
    state.mode = mode;
    const int known = codec_frame_size(mode);
    if (known != 0) state.frame_size = known;
    std::memset(state.frame, 0, sizeof state.frame);
    std::memcpy(state.frame, frame, std::min(size, std::min(sizeof state.frame, static_cast<size_t>(state.frame_size))));
    clear_bit_arrays(state);
    synthesise(state);
}

bool voxloom_process_record(voxloom_state &state, FILE *input, FILE *output, FILE *diagnostics) {
    state.errs = 0;
    state.errs2 = 0;
    if (state.settings.tagged_input) {
        if (!read_mode(state, input)) return false;
        // No known record yet: no frame size to read by and no output to repeat.
        if (state.frame_size == 0) return true;
    }
    if (!read_frame(state, input)) return false;
    clear_bit_arrays(state);
    synthesise(state);
    std::fputs(state.err_str, diagnostics);
    if (state.settings.float_output)
        std::fwrite(state.float_samples, sizeof(float), vocoder_frame_samples, output);
    else
        std::fwrite(state.samples, sizeof(short), vocoder_frame_samples, output);
    state.write_error = flush_stream(output);
    return state.write_error == 0;
}

void voxloom_run(voxloom_state &state, FILE *input, FILE *output, FILE *diagnostics) {
    while (voxloom_process_record(state, input, output, diagnostics)) {
    }
}
