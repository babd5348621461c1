// SPDX-License-Identifier: MIT
#pragma once
// Encoders of the System Fusion data channels (DCH): the data bytes are
// whitened with PN9, followed by the CRC-16 of the whitened bytes (high
// byte first), convolutionally encoded with the four tail bits and
// interleaved over the frame's five blocks.
//
// Header channels (data channel 1: target and source; data channel 2:
// downlink and uplink) carry 20 data bytes in 180 symbols, symbols 0-35
// (channel 1) or 36-71 (channel 2) of each block. The voice/data mode 2
// channel carries 10 data bytes in 100 symbols, the first 20 of each block.

#include <cstdint>

namespace ysf_encode {

inline constexpr int header_channel_bytes = 20;
inline constexpr int header_channel_symbols = 180;
inline constexpr int mode2_channel_bytes = 10;
inline constexpr int mode2_channel_symbols = 100;

// A frame: 480 symbol bytes.
inline constexpr int frame_symbols = 480;

// Whitens d data bytes (1..29), appends the CRC-16 of the whitened bytes and
// convolutionally encodes the 8d + 16 bits with their tail: writes 8d + 20
// dibits (symbol bytes 0..3) in coded order, before interleaving. Returns
// false, writing nothing, for d outside 1..29.
bool encode_data_channel(const uint8_t *data, int d, uint8_t *dibits);

// Encodes 20 data bytes as header data channel `channel` (1 or 2; any other
// value does nothing) and writes its 180 symbols into their places in the
// 480-symbol frame: coded dibit l goes to frame offset
// 120 + 72 * (F / 36) + 36 * (channel - 1) + F % 36 with F = 20 * (l % 9) + l / 9.
// Other symbols of the frame are left as they are.
void put_header_channel(const uint8_t data[header_channel_bytes], int channel, uint8_t frame[frame_symbols]);

// Encodes 10 data bytes as the voice/data mode 2 data channel and writes its
// 100 symbols into the frame: coded dibit i goes to frame offset
// 120 + 72 * (i % 5) + i / 5. Other symbols are left as they are.
void put_mode2_channel(const uint8_t data[mode2_channel_bytes], uint8_t frame[frame_symbols]);

}  // namespace ysf_encode
