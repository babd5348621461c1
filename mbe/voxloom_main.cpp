// SPDX-License-Identifier: MIT
// voxloom: codec frame stream on standard input, speech samples on standard
// output, option notices and each frame's error text on standard error.

#include "tool_frame.h"
#include "voxloom.h"

namespace {

voxloom_state state;

void handle_option(int letter, const char *argument, void *context) {
    voxloom_apply_option(*static_cast<voxloom_settings *>(context), letter, argument, stderr);
}

}  // namespace

int main(int argc, char **argv) {
    init_stream_frame();
    voxloom_settings settings;
    parse_options(argc, argv, voxloom_short_options, voxloom_long_options, voxloom_usage, handle_option, &settings);
#if defined(VOXLOOM_SILENT_VOCODER)
    std::fputs(voxloom_silent_notice, stderr);
#endif
    voxloom_start(state, settings);
    voxloom_run(state, stdin, stdout, stderr);
    if (state.write_error) end_on_write_error(state.write_error);
    return 0;
}
