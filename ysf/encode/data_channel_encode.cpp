// SPDX-License-Identifier: MIT
#include "data_channel_encode.h"

#include "conv_k5_encode.h"
#include "crc16_encode.h"
#include "pn9_whiten.h"

namespace ysf_encode {
namespace {

constexpr int max_data_bytes = 29;  // 8d + 16 coded bits stay within 251

}  // namespace

bool encode_data_channel(const uint8_t *data, int d, uint8_t *dibits) {
    if (d < 1 || d > max_data_bytes) return false;
    uint8_t buffer[max_data_bytes + 2];
    pn9_whiten(data, buffer, 8 * d);
    // The CRC covers the data as sent, that is whitened.
    uint16_t crc = crc16_compute(buffer, d);
    buffer[d] = static_cast<uint8_t>(crc >> 8);
    buffer[d + 1] = static_cast<uint8_t>(crc);
    conv_k5_encode(buffer, 8 * d + 16, dibits);
    return true;
}

void put_header_channel(const uint8_t data[header_channel_bytes], int channel, uint8_t frame[frame_symbols]) {
    if (channel != 1 && channel != 2) return;
    uint8_t coded[header_channel_symbols];
    encode_data_channel(data, header_channel_bytes, coded);
    // Read as 9 rows of 20 symbols, the coded sequence is sent column by
    // column, 36 symbols in each block.
    for (int l = 0; l < header_channel_symbols; ++l) {
        int f = 20 * (l % 9) + l / 9;
        frame[120 + 72 * (f / 36) + 36 * (channel - 1) + f % 36] = coded[l];
    }
}

void put_mode2_channel(const uint8_t data[mode2_channel_bytes], uint8_t frame[frame_symbols]) {
    uint8_t coded[mode2_channel_symbols];
    encode_data_channel(data, mode2_channel_bytes, coded);
    // 5 rows of 20 symbols sent column by column: 20 symbols in each block.
    for (int i = 0; i < mode2_channel_symbols; ++i) frame[120 + 72 * (i % 5) + i / 5] = coded[i];
}

}  // namespace ysf_encode
