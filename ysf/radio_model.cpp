// SPDX-License-Identifier: MIT
#include "radio_model.h"

namespace {

struct radio_model {
    uint8_t code;
    const char *name;
};

// Codes are the characters $ % & ' ( ) and +.
constexpr radio_model models[] = {
    {0x24, "FT-1D"}, {0x25, "FTM-400D"}, {0x26, "DR-1X"},  {0x27, "FT-991"},
    {0x28, "FT-2D"}, {0x29, "FTM-100D"}, {0x2b, "FT-70D"},
};

}  // namespace

const char *radio_model_name(uint8_t code) {
    for (const radio_model &m : models)
        if (m.code == code) return m.name;
    return radio_model_unknown;
}
