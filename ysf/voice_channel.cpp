// SPDX-License-Identifier: MIT
#include "voice_channel.h"

#include <array>

#include "bits.h"
#include "codec_frame.h"
#include "pn9.h"
#include "tool_frame.h"
#include "voice_frame_table.h"

namespace {

constexpr int block_start(int k) { return ysf_block_offset + ysf_block_symbols * k; }

// Unpacks count ring symbols from offset on into 2 * count bits, one per
// byte, high bit of each symbol first.
void ring_symbols_to_bits(const ysf_ring &ring, int offset, int count, uint8_t *bits) {
    for (int m = 0; m < count; ++m) {
        uint8_t s = ring_at(ring, offset + m);
        bits[2 * m] = static_cast<uint8_t>((s >> 1) & 1);
        bits[2 * m + 1] = static_cast<uint8_t>(s & 1);
    }
}

// The value at least two of three bits have.
constexpr uint8_t majority_table[8] = {0, 0, 0, 1, 0, 1, 1, 1};

void write_record(FILE *out, uint8_t mode, const uint8_t *frame, int size) {
    std::fputc(mode, out);
    std::fwrite(frame, 1, static_cast<size_t>(size), out);
    // Standard output ends the run cleanly when its reader has gone.
    if (out == stdout)
        flush_output();
    else
        std::fflush(out);
}

}  // namespace

void extract_vd_mode1_frame(const ysf_ring &ring, int k, uint8_t frame[12]) {
    uint8_t received[ambe_coded_bits];
    ring_symbols_to_bits(ring, block_start(k) + 36, 36, received);
    place_voice_frame(received, frame);
}

void extract_vd_mode2_frame(const ysf_ring &ring, int k, uint8_t frame[7]) {
    uint8_t received[104];
    ring_symbols_to_bits(ring, block_start(k) + 20, 52, received);

    // The received bits read as 26 rows of 4, taken column by column.
    uint8_t deinterleaved[13] = {};
    for (int l = 0; l < 104; ++l) put_bit(deinterleaved, l, received[4 * (l % 26) + l / 26]);
    uint8_t plain[13];
    pn9_descramble(deinterleaved, plain, 104);

    for (int i = 0; i < ambe_parameter_frame_bytes; ++i) frame[i] = 0;
    for (int j = 0; j < 27; ++j) {
        int vote = (bit_at(plain, 3 * j) << 2) | (bit_at(plain, 3 * j + 1) << 1) | bit_at(plain, 3 * j + 2);
        put_bit(frame, j, majority_table[vote]);
    }
    for (int j = 27; j < ambe_parameter_bits; ++j) put_bit(frame, j, bit_at(plain, 81 + (j - 27)));
}

void extract_full_rate_frame(const ysf_ring &ring, int k, uint8_t frame[18]) {
    uint8_t received[imbe_frame_bits];
    ring_symbols_to_bits(ring, block_start(k), ysf_block_symbols, received);
    for (int i = 0; i < imbe_frame_bytes; ++i) frame[i] = 0;
    for (int i = 0; i < imbe_frame_bits; ++i)
        put_bit(frame, i, received[full_rate_deinterleave[static_cast<size_t>(i)]]);

    // Code words c1..c6 (bits 23..136) carry pseudo-noise seeded by the data
    // bits of c0.
    uint32_t p = 0;
    for (int i = 0; i < 12; ++i) p = (p << 1) | static_cast<uint32_t>(bit_at(frame, i));
    p *= 16;
    for (int n = 1; n <= 114; ++n) {
        p = (173 * p + 13849) & 0xffffu;
        put_bit(frame, 22 + n, bit_at(frame, 22 + n) ^ static_cast<int>(p >> 15));
    }
}

void voice_vd_mode1(const ysf_ring &ring, FILE *out) {
    for (int k = 0; k < ysf_blocks; ++k) {
        uint8_t frame[ambe_frame_bytes];
        extract_vd_mode1_frame(ring, k, frame);
        write_record(out, codec_mode_ambe, frame, ambe_frame_bytes);
    }
}

void voice_vd_mode2(const ysf_ring &ring, FILE *out) {
    for (int k = 0; k < ysf_blocks; ++k) {
        uint8_t frame[ambe_parameter_frame_bytes];
        extract_vd_mode2_frame(ring, k, frame);
        write_record(out, codec_mode_ambe_parameters, frame, ambe_parameter_frame_bytes);
    }
}

void voice_full_rate(const ysf_ring &ring, bool &header_flag, FILE *out) {
    for (int k = header_flag ? 3 : 0; k < ysf_blocks; ++k) {
        uint8_t frame[imbe_frame_bytes];
        extract_full_rate_frame(ring, k, frame);
        write_record(out, codec_mode_imbe, frame, imbe_frame_bytes);
    }
    header_flag = false;
}
