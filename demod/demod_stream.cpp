// SPDX-License-Identifier: MIT
#include "demod_stream.h"

namespace {

char input_buffer[65536];
char output_buffer[4096];

}  // namespace

void use_static_stream_buffers() {
    std::setvbuf(stdin, input_buffer, _IOFBF, sizeof input_buffer);
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
}
