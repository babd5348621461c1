// SPDX-License-Identifier: MIT
#include "fich.h"

#include "bits.h"
#include "crc16.h"
#include "golay_24_12.h"
#include "viterbi_k5.h"

fich_record fich_from_information(uint32_t information) {
    auto field = [information](int high, int width) {
        return static_cast<uint8_t>((information >> (high - width + 1)) & ((1u << width) - 1));
    };
    fich_record r;
    r.FI = field(31, 2);
    r.CS = field(29, 2);
    r.CM = field(27, 2);
    r.BN = field(25, 2);
    r.BT = field(23, 2);
    r.FN = field(21, 3);
    r.FT = field(18, 3);
    r.DEV = field(14, 1);
    r.MR = field(13, 3);
    r.VoIP = field(10, 1);
    r.DT = field(9, 2);
    r.SQL = field(7, 1);
    r.SC = field(6, 7);
    return r;
}

bool decode_fich(const ysf_ring &ring, fich_record &record, FILE *err) {
    // The 100 symbols after the sync, read as 5 rows of 20, column by column.
    uint8_t coded[ysf_fich_symbols / 4];
    pack_ring_symbols(
        ring, ysf_fich_symbols, [](int k) { return ysf_fich_offset + 20 * (k % 5) + k / 5; }, coded);

    uint8_t decoded[(ysf_fich_symbols + 7) / 8];
    viterbi_k5_decode(coded, ysf_fich_symbols, decoded);

    // Four Golay words from bits 0..95 (bits 96..99 are the code's tail);
    // all four are corrected even when one fails.
    bool golay_ok = true;
    uint64_t parts = 0;  // the four 12-bit data parts, first one highest
    for (int w = 0; w < 4; ++w) {
        uint32_t word = 0;
        for (int i = 0; i < 24; ++i) word = (word << 1) | static_cast<uint32_t>(bit_at(decoded, 24 * w + i));
        if (!golay_24_12_correct(word)) golay_ok = false;
        parts = (parts << 12) | ((word >> 12) & 0xfffu);
    }
    if (!golay_ok) {
        if (err) std::fputs("golay failure\n", err);
        return false;
    }

    uint32_t information = static_cast<uint32_t>(parts >> 16);
    uint16_t received_crc = static_cast<uint16_t>(parts & 0xffffu);
    uint8_t information_bytes[4] = {static_cast<uint8_t>(information >> 24), static_cast<uint8_t>(information >> 16),
                                    static_cast<uint8_t>(information >> 8), static_cast<uint8_t>(information)};
    if (!crc16_matches(information_bytes, 4, received_crc)) {
        if (err) std::fputs("CRC failure\n", err);
        return false;
    }
    record = fich_from_information(information);
    return true;
}
