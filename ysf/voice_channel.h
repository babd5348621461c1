#pragma once
// The voice channels (VCH) of System Fusion communication frames, written
// as tagged codec frame records: the mode byte in one single-character
// write, the frame in one write, then a flush.

#include <cstdint>
#include <cstdio>

#include "ysf_frame.h"

// Voice of block k (0..4) of the frame at the ring's read position:
// V/D mode 1, the 72 bits of the block's second half placed into a 12-byte
// AMBE frame.
void extract_vd_mode1_frame(const ysf_ring &ring, int k, uint8_t frame[12]);

// V/D mode 2: 104 bits after the block's data channel, deinterleaved,
// dewhitened and the first 27 parameter bits voted from three copies, into
// a 7-byte AMBE parameter frame.
void extract_vd_mode2_frame(const ysf_ring &ring, int k, uint8_t frame[7]);

// Voice full-rate: the block's 144 bits deinterleaved and the IMBE
// pseudo-noise removed from code words c1..c6, into an 18-byte IMBE frame.
void extract_full_rate_frame(const ysf_ring &ring, int k, uint8_t frame[18]);

// The three voice handlers, each writing its frames to out in block order.
void voice_vd_mode1(const ysf_ring &ring, FILE *out);
void voice_vd_mode2(const ysf_ring &ring, FILE *out);

// After a header (header_flag set) only blocks 3 and 4 carry voice; clears
// header_flag.
void voice_full_rate(const ysf_ring &ring, bool &header_flag, FILE *out);
