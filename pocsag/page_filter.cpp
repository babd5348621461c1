// SPDX-License-Identifier: MIT
#include "page_filter.h"

int preamble_errors(const uint8_t *bits) {
    int errors = 0;  // against 1010..., first bit 1
    for (int i = 0; i < page_preamble_bits; ++i) errors += (bits[i] != 0) != (i % 2 == 0);
    return errors < page_preamble_bits - errors ? errors : page_preamble_bits - errors;
}

bool page_is_plausible(const pocsag_message &message) {
    if (message.sync_confirmed) return true;
    return message.corrected_bits + message.sync_errors <= message.codewords + page_error_allowance;
}
