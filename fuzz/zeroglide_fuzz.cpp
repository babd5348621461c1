// SPDX-License-Identifier: MIT
// zeroglide's stream logic on arbitrary bytes as float samples: the output may
// not depend on how the input is cut into blocks.

#include <cstddef>
#include <cstdint>

#include "dc_blocker.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    return fuzz_block_split_filter<dc_blocker_state, dc_blocker_filter>(data, size);
}
