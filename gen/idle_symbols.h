// SPDX-License-Identifier: MIT
#pragma once
// Idle signal between transmissions: pseudo-random four-level symbols, all
// levels equally likely, the same for the same stream number on every run.

#include <cstdint>
#include <vector>

std::vector<uint8_t> idle_symbols(int count, uint64_t stream);
