// SPDX-License-Identifier: MIT
#pragma once
// Builder of whole System Fusion frames and transmissions as four-level
// symbol bytes (values 0..3, high bit of the dibit first on air), the form
// of the symbol stream that the demodulator writes and the decoder reads.
//
// A frame is 480 symbols: the 20-symbol sync, the 100-symbol FICH, and five
// blocks of 72 symbols starting at symbol 120 + 72b (b = 0..4):
//   header, terminator   symbols 0-35 data channel 1, 36-71 data channel 2
//   V/D mode 1 (DT 0)    0-35 data channel, 36-71 voice (12-byte AMBE frame)
//   V/D mode 2 (DT 2)    0-19 data channel, 20-71 voice (7-byte parameter frame)
//   voice full-rate (3)  0-71 voice (18-byte IMBE frame)
// A transmission is a header frame, communication frames whose frame number
// FN runs 0, 1, .. 7, 0, 1, .., and a terminator frame.

#include <cstdint>
#include <vector>

#include "data_channel_encode.h"
#include "fich_encode.h"
#include "radio_data_encode.h"

namespace ysf_encode {

// The frame sync D471C9634D as 20 symbols.
inline constexpr int frame_sync_symbols = 20;
inline constexpr uint8_t frame_sync[frame_sync_symbols] = {3, 1, 1, 0, 1, 3, 0, 1, 3, 0, 2, 1, 1, 2, 0, 3, 1, 0, 3, 1};
inline constexpr int fich_offset = 20;
inline constexpr int first_block_offset = 120;
inline constexpr int block_symbols = 72;
inline constexpr int frame_blocks = 5;

// The four call-sign fields of a transmission, 10 bytes each as sent.
struct call_signs {
    call_sign_field target{};
    call_sign_field source{};
    call_sign_field down{};
    call_sign_field up{};
};

// Clears the frame and writes the sync (symbols 0-19) and the FICH of the
// fields (symbols 20-119); the blocks are left 0.
void start_frame(const fich_fields &fich, uint8_t frame[frame_symbols]);

// Write one codec frame into the voice channel of block `block` (0..4; any
// other value does nothing) of a frame of the matching data type.
void put_vd1_voice(const uint8_t codec[12], int block, uint8_t frame[frame_symbols]);
void put_vd2_voice(const uint8_t codec[7], int block, uint8_t frame[frame_symbols]);
void put_vfr_voice(const uint8_t codec[18], int block, uint8_t frame[frame_symbols]);

// A header-style frame: sync, the FICH as given (normally FI 0 for a header
// or 2 for a terminator), data channel 1 with target and source and data
// channel 2 with downlink and uplink.
void build_header_frame(const fich_fields &fich, const call_signs &calls, uint8_t frame[frame_symbols]);

// A communication frame of the FICH's data type:
// - voice points to the codec frames of the data type's kind (12, 7 or 18
//   bytes each, back to back) for blocks first_block..4; first_block is 0,
//   or 3 for the first voice full-rate frame after a header, which carries
//   voice in blocks 3 and 4 only (blocks 0-2 are then left 0). Null voice
//   leaves the voice channels 0.
// - data points to the data channel's bytes: 10 for V/D mode 2, 20 for V/D
//   mode 1 (coded and interleaved like header data channel 1, in symbols
//   0-35 of every block); null sends zero bytes. It is ignored for the
//   other data types.
// Data type 1 (data full-rate) gets only the sync and FICH.
void build_communication_frame(const fich_fields &fich, const uint8_t *voice, int first_block, const uint8_t *data,
                               uint8_t frame[frame_symbols]);

// A deterministic, non-trivial codec frame of a data type's kind (0, 2 or
// 3) for test signals: frame `index` differs from its neighbours, and only
// bits the voice channel carries are set (the 72 coded positions of the
// AMBE frame, parameter bits 0-48, all 144 IMBE bits), so it passes through
// encoder and decoder unchanged. Writes codec_frame_size(data_type) bytes;
// nothing for other data types.
void test_voice_frame(uint8_t data_type, int index, uint8_t *frame);

// What a whole transmission carries.
struct transmission_plan {
    uint8_t data_type = fich_dt_vd_mode2;  // 0 V/D mode 1, 2 V/D mode 2, 3 voice full-rate
    call_signs calls;
    uint8_t radio_model = 0x2B;  // radio data block byte 4 (V/D mode 2)
    bool has_position = false;   // V/D mode 2: radio data block kind 22 62 5F with the position
    double latitude = 0;         // degrees, north positive
    double longitude = 0;        // degrees, east positive
    // Codec frames of the data type's kind, back to back; empty: test_voice_frame 0, 1, 2, ...
    std::vector<uint8_t> voice;
    // Communication frames to send; 0: as many as the given voice needs
    // (at least one), or 16 with the test pattern. Blocks beyond the given
    // voice carry all-zero codec frames.
    int communication_frames = 0;
    bool header = true;      // start with a header frame (FI 0)
    bool terminator = true;  // end with a terminator frame (FI 2)
};

// A built transmission.
struct transmission {
    std::vector<uint8_t> symbols;  // 480 symbol bytes per frame, frames back to back
    int frames = 0;                // header, communication and terminator frames
    // The tagged codec frame stream that the communication frames carry, in
    // order: for every voice block, the mode byte (the data type) and its
    // codec frame, padding frames included.
    std::vector<uint8_t> voice_records;
};

// Builds the transmission of the plan. Every frame's FICH has FT 7 and DT
// the plan's data type, all unnamed fields 0; communication frames have FI 1
// and FN cycling 0..7. In V/D mode 2 the data channel of frame FN 0, 1, 2, 3
// carries target, source, downlink, uplink; FN 4 and 5 zero bytes; FN 6 and
// 7 the two halves of the radio data block (kind 22 61 5F without a position).
// A receiver evaluates the radio data block at the next frame numbered 0..5,
// so it reports the radio model and position only when at least nine
// communication frames are sent (the default of 16 does).
// In V/D mode 1 the data channel of frame FN 0 carries target and source,
// that of FN 1 downlink and uplink, the others zero bytes. After a header, the first voice full-rate
// frame carries voice in blocks 3 and 4 only. Returns false, leaving out
// untouched, for a data type without voice (1, or above 3), voice whose length
// is not a multiple of the frame size, or a position encode_position rejects.
bool build_transmission(const transmission_plan &plan, transmission &out);

}  // namespace ysf_encode
