// SPDX-License-Identifier: MIT
#include "data_checks.h"

namespace {

// Shifts count bits of value (most significant first) through a register
// of width bits with generator poly (without its top term).
template <typename T>
void shift_bits(T &reg, uint32_t value, int count, int width, T poly) {
    const T top = static_cast<T>(T{1} << (width - 1));
    const T mask = static_cast<T>(width == 8 * static_cast<int>(sizeof(T)) ? ~T{0} : (T{1} << width) - 1);
    for (int i = count - 1; i >= 0; --i) {
        const bool in = (value >> i) & 1u;
        const bool out = (reg & top) != 0;
        reg = static_cast<T>((reg << 1) & mask);
        if (in != out) reg = static_cast<T>(reg ^ poly);
    }
}

uint32_t crc32_update(uint32_t reg, uint8_t byte) {
    shift_bits<uint32_t>(reg, byte, 8, 32, 0x04C11DB7u);
    return reg;
}

}  // namespace

uint16_t crc_ccitt_remainder(const uint8_t *bytes, std::size_t count) {
    uint16_t reg = 0;
    for (std::size_t i = 0; i < count; ++i) shift_bits<uint16_t>(reg, bytes[i], 8, 16, 0x1021);
    return reg;
}

bool crc_ccitt_check(const uint8_t *block, std::size_t count, uint16_t mask) {
    if (count < 2) return false;
    const uint16_t sent = static_cast<uint16_t>((block[count - 2] << 8) | block[count - 1]);
    const uint16_t expected = static_cast<uint16_t>(~crc_ccitt_remainder(block, count - 2) ^ mask);
    return sent == expected;
}

uint16_t crc9_remainder(const uint8_t *bytes, std::size_t count, int serial) {
    uint16_t reg = 0;
    for (std::size_t i = 0; i < count; ++i) shift_bits<uint16_t>(reg, bytes[i], 8, 9, 0x059);
    shift_bits<uint16_t>(reg, static_cast<uint32_t>(serial) & 0x7F, 7, 9, 0x059);
    return reg;
}

uint32_t crc32_remainder(const uint8_t *bytes, std::size_t count) {
    uint32_t reg = 0;
    for (std::size_t i = 0; i < count; ++i) reg = crc32_update(reg, bytes[i]);
    return reg;
}

uint32_t message_crc(const uint8_t *message, std::size_t count) {
    uint32_t reg = 0;
    std::size_t i = 0;
    for (; i + 1 < count; i += 2) {
        reg = crc32_update(reg, message[i + 1]);
        reg = crc32_update(reg, message[i]);
    }
    if (i < count) reg = crc32_update(reg, message[i]);
    return reg;
}

bool message_crc_check(const uint8_t *message, std::size_t count) {
    if (count < 4) return false;
    const uint8_t *c = message + count - 4;
    const uint32_t sent = static_cast<uint32_t>(c[0]) | (static_cast<uint32_t>(c[1]) << 8) |
                          (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[3]) << 24);
    return sent == message_crc(message, count - 4);
}
