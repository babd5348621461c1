// SPDX-License-Identifier: MIT
#pragma once
// The 48-bit DMR sync words (ETSI TS 102 361-1), sent as the 24 symbols of a
// burst's centre field, most significant dibit first.

#include <cstdint>

namespace dmr_encode {

enum class burst_sync : uint8_t {
    bs_data,   // base station sourced data, 0xDFF57D75DF5D
    bs_voice,  // base station sourced voice, 0x755FD7DF75F7
    ms_data,   // mobile station sourced data, 0xD5D7F77FD757
    ms_voice,  // mobile station sourced voice, 0x7F7D5DD57DFD
};

// The 48-bit sync word.
uint64_t sync_word(burst_sync sync);

// Writes the sync word as 24 symbols.
void place_sync(burst_sync sync, uint8_t centre[24]);

// The voice or data sync of the same source (base or mobile station).
burst_sync voice_sync_of(bool mobile);
burst_sync data_sync_of(bool mobile);

}  // namespace dmr_encode
