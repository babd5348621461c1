// SPDX-License-Identifier: MIT
// voxloom's stream logic on arbitrary codec frame streams, through the
// silent stand-in of the vocoder. The first byte picks the settings: bit 0
// the tagged form, bit 1 float samples, the rest the unvoiced quality; the
// other bytes are the codec frame stream, read from memory.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "voxloom.h"

namespace {

voxloom_state state;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    voxloom_settings settings;
    settings.tagged_input = (data[0] & 1) != 0;
    settings.float_output = (data[0] & 2) != 0;
    settings.unvoiced_quality = vocoder_min_unvoiced_quality + (data[0] >> 2) % vocoder_max_unvoiced_quality;
    ++data;
    --size;

    FILE *input = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!input) return 0;
    memory_stream speech;
    state = voxloom_state{};
    voxloom_start(state, settings);
    voxloom_run(state, input, speech.file, null_stream());
    std::fclose(input);

    const std::size_t frame_bytes =
        vocoder_frame_samples * (settings.float_output ? sizeof(float) : sizeof(short));
    const std::size_t written = speech.bytes().size();
    if (written % frame_bytes != 0) fuzz_fail("speech output is not whole frames of 160 samples");
    // Plain input: one frame of speech per 12 bytes, a cut-short last frame included.
    if (!settings.tagged_input && written / frame_bytes != (size + ambe_frame_bytes - 1) / ambe_frame_bytes)
        fuzz_fail("plain input did not give one frame of speech per AMBE frame");
    return 0;
}
