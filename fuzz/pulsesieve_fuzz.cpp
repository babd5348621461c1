// SPDX-License-Identifier: MIT
// pulsesieve's stream logic on arbitrary bytes as float samples: the output
// may not depend on how the input is cut into blocks.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "rrc_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    return fuzz_block_split_filter<rrc_state, rrc_filter>(data, size);
}
