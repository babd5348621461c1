#include "wav_header.h"

#include <cstring>

namespace {

void put32(uint8_t *at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put16(uint8_t *at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

bool wav_header(uint32_t rate, std::size_t data_bytes, uint8_t header[wav_header_bytes]) {
    if (data_bytes > 0xFFFFFFFFu - 36u) return false;
    const uint32_t size = static_cast<uint32_t>(data_bytes);
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 36 + size);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);        // size of the format chunk
    put16(header + 20, 1);         // PCM
    put16(header + 22, 1);         // mono
    put32(header + 24, rate);      // samples per second
    put32(header + 28, rate * 2);  // bytes per second
    put16(header + 32, 2);         // bytes per sample frame
    put16(header + 34, 16);        // bits per sample
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, size);
    return true;
}
