// SPDX-License-Identifier: MIT
#include "sync_patterns.h"

#include "bits.h"

namespace dmr_encode {

uint64_t sync_word(burst_sync sync) {
    switch (sync) {
        case burst_sync::bs_data:
            return 0xDFF57D75DF5Dull;
        case burst_sync::bs_voice:
            return 0x755FD7DF75F7ull;
        case burst_sync::ms_data:
            return 0xD5D7F77FD757ull;
        case burst_sync::ms_voice:
            return 0x7F7D5DD57DFDull;
    }
    return 0;
}

void place_sync(burst_sync sync, uint8_t centre[24]) { word_to_symbols(sync_word(sync), 24, centre); }

burst_sync voice_sync_of(bool mobile) { return mobile ? burst_sync::ms_voice : burst_sync::bs_voice; }
burst_sync data_sync_of(bool mobile) { return mobile ? burst_sync::ms_data : burst_sync::bs_data; }

}  // namespace dmr_encode
