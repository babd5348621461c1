// SPDX-License-Identifier: MIT
#pragma once
// Plain reference decoders for the encoder tests, written straight from the
// air-interface description and kept apart from the encoders: they undo
// each step on error-free input and report any inconsistency.

#include <cstdint>

namespace reference {

// Undoes the K=5 convolutional code on error-free dibits by following the
// register from state 0: writes n decoded bits (tail included), packed most
// significant first, and returns false if a dibit is not one the code can
// produce from the current state.
bool conv_k5_undo(const uint8_t *dibits, int n, uint8_t *bits);

// The Golay (24,12) syndrome of a word from the 12 parity-check rows.
uint32_t golay_24_12_syndrome(uint32_t word);

// The FICH of a 480-symbol frame: deinterleave, undo the code, check the four
// Golay words and the CRC. Returns false on any failure.
bool fich_information(const uint8_t *frame, uint32_t &information);

// The data bytes of header data channel 1 or 2 (20 bytes) or of the V/D mode 2
// data channel (10 bytes) of a frame, or false on a code or CRC failure.
bool header_channel(const uint8_t *frame, int channel, uint8_t data[20]);
bool mode2_channel(const uint8_t *frame, uint8_t data[10]);

// The codec frame of the voice channel of block b of a frame, per mode.
void vd1_voice(const uint8_t *frame, int block, uint8_t codec[12]);
void vd2_voice(const uint8_t *frame, int block, uint8_t codec[7]);
void vfr_voice(const uint8_t *frame, int block, uint8_t codec[18]);

// The position of nine position bytes, in single precision as a receiver
// computes it, or false where the bytes do not decode.
bool position(const uint8_t d[9], float &latitude, float &longitude);

}  // namespace reference
