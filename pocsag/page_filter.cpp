// SPDX-License-Identifier: MIT
#include "page_filter.h"

int preamble_errors(const uint8_t *bits) {
    int errors = 0;  // against 1010..., first bit 1
    for (int i = 0; i < page_preamble_bits; ++i) errors += (bits[i] != 0) != (i % 2 == 0);
    return errors < page_preamble_bits - errors ? errors : page_preamble_bits - errors;
}

namespace {

// The marks of a codeword made up by correction from noise (page_filter.h).
bool made_up_by_correction(const pocsag_message &message) {
    if (message.address_flips == 0) return false;
    if (message.after_misaligned_run) return true;
    const bool tone = message.length == 0;
    if (!tone) return false;
    if ((message.end == page_end_lost_sync || message.end == page_end_input) && message.clean_codewords_after < 2)
        return true;
    return message.address_flips >= 2 && message.clean_codewords_after == 0;
}

}  // namespace

bool page_is_plausible(const pocsag_message &message) {
    if (made_up_by_correction(message)) return false;
    if (message.sync_confirmed) return true;
    return message.corrected_bits + message.sync_errors <= message.codewords + page_error_allowance;
}
