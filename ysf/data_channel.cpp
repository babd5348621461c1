// SPDX-License-Identifier: MIT
#include "data_channel.h"

#include <cstring>

#include "crc16.h"
#include "pn9.h"
#include "viterbi_k5.h"

namespace {

constexpr int header_channel_symbols = 180;
constexpr int mode2_channel_symbols = 100;

// Viterbi-decodes n packed dibits into n bits, checks the CRC over the
// first d bytes against bytes d and d + 1 (high byte first) and, if it
// holds, removes the whitening of the first whitened_bits bits and hands
// out the first d bytes.
bool finish_channel(const uint8_t *coded, int n, int d, int whitened_bits, uint8_t *data) {
    uint8_t decoded[(header_channel_symbols + 7) / 8];
    viterbi_k5_decode(coded, n, decoded);
    uint16_t received = static_cast<uint16_t>((decoded[d] << 8) | decoded[d + 1]);
    if (!crc16_matches(decoded, d, received)) return false;
    uint8_t plain[(header_channel_symbols + 7) / 8];
    pn9_descramble(decoded, plain, whitened_bits);
    std::memcpy(data, plain, static_cast<size_t>(d));
    return true;
}

}  // namespace

bool decode_header_channel(const ysf_ring &ring, int channel, uint8_t data[header_channel_bytes]) {
    int half = 36 * (channel & 1);
    uint8_t coded[header_channel_symbols / 4];
    pack_ring_symbols(
        ring, header_channel_symbols,
        [half](int l) {
            int f = 20 * (l % 9) + l / 9;
            return ysf_block_offset + ysf_block_symbols * (f / 36) + half + f % 36;
        },
        coded);
    return finish_channel(coded, header_channel_symbols, header_channel_bytes, 8 * header_channel_bytes, data);
}

bool decode_mode1_channel(const ysf_ring &ring, uint8_t data[mode1_channel_bytes]) {
    return decode_header_channel(ring, 0, data);
}

bool decode_mode2_channel(const ysf_ring &ring, uint8_t data[mode2_channel_bytes]) {
    uint8_t coded[mode2_channel_symbols / 4];
    pack_ring_symbols(
        ring, mode2_channel_symbols, [](int i) { return ysf_block_offset + ysf_block_symbols * (i % 5) + i / 5; },
        coded);
    return finish_channel(coded, mode2_channel_symbols, mode2_channel_bytes, mode2_channel_symbols, data);
}
