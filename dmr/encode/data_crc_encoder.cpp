// SPDX-License-Identifier: MIT
#include "data_crc_encoder.h"

namespace dmr_encode {

namespace {

void append_bits(std::vector<uint8_t> &bits, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(static_cast<uint8_t>((value >> i) & 1u));
}

}  // namespace

uint32_t polynomial_remainder(const std::vector<uint8_t> &bits, uint64_t generator, int degree) {
    // Long division over GF(2): the dividend is the message followed by
    // degree zeros; wherever the leading bit is 1 the generator is
    // subtracted (XORed) beneath it.
    std::vector<uint8_t> work = bits;
    work.resize(bits.size() + static_cast<std::size_t>(degree), 0);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (!work[i]) continue;
        for (int k = 0; k <= degree; ++k) work[i + static_cast<std::size_t>(k)] ^= (generator >> (degree - k)) & 1u;
    }
    uint32_t r = 0;
    for (int k = 0; k < degree; ++k) r = (r << 1) | work[bits.size() + static_cast<std::size_t>(k)];
    return r;
}

uint16_t ccitt_crc(const uint8_t *bytes, std::size_t count, uint16_t mask) {
    std::vector<uint8_t> bits;
    for (std::size_t i = 0; i < count; ++i) append_bits(bits, bytes[i], 8);
    return static_cast<uint16_t>(~polynomial_remainder(bits, 0x11021, 16) ^ mask);
}

uint16_t block_crc9(const uint8_t *bytes, std::size_t count, int serial, uint16_t mask) {
    std::vector<uint8_t> bits;
    for (std::size_t i = 0; i < count; ++i) append_bits(bits, bytes[i], 8);
    append_bits(bits, static_cast<uint32_t>(serial) & 0x7F, 7);
    return static_cast<uint16_t>((~polynomial_remainder(bits, 0x259, 9) & 0x1FF) ^ mask);
}

uint32_t message_crc32(const uint8_t *bytes, std::size_t count) {
    std::vector<uint8_t> bits;
    std::size_t i = 0;
    for (; i + 1 < count; i += 2) {
        append_bits(bits, bytes[i + 1], 8);
        append_bits(bits, bytes[i], 8);
    }
    if (i < count) append_bits(bits, bytes[i], 8);
    return polynomial_remainder(bits, 0x104C11DB7ull, 32);
}

}  // namespace dmr_encode
