// SPDX-License-Identifier: MIT
#pragma once
// Names of the transmitting radio's model, by the code byte of the radio
// data block.

#include <cstdint>

inline constexpr const char radio_model_unknown[] = "Unknown radio";

// The constant model name for a code byte; "Unknown radio" for any code
// not in the table.
const char *radio_model_name(uint8_t code);
