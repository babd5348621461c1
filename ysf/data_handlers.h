// SPDX-License-Identifier: MIT
#pragma once
// What the data channels of a frame do to the YSF record: the call signs of
// header frames and V/D mode 2 frames, the radio model and the position of
// the radio data block.

#include "orbavox.h"

// The two data channels of the header frame at the ring's read position:
// channel 1 sets target and source, channel 2 down and up; each channel that
// decodes sends a metadata line, each that fails writes
// "header frame DCH%i CRC failure\n".
void handle_header(orbavox_state &state, const orbavox_streams &io);

// The data channel of the V/D mode 1 frame at the ring's read position, for
// a receiver that missed the header: frame number 0 carries target and
// source, 1 downlink and uplink (the other frames are not decoded). Taken
// only with the frame's own FICH; sends a metadata line when the call signs
// differ from the record's, so that after a received header the lines stay
// as they were. A channel whose CRC fails is dropped without a message.
void handle_mode1_data(orbavox_state &state, const orbavox_streams &io);

// The data channel of the V/D mode 2 frame at the ring's read position,
// steered by the frame number of the frame's own FICH: 0..3 set target,
// source, down and up; 6 and 7 collect the radio data block, which a later
// frame numbered 0..5 evaluates. Sends at most one metadata line.
void handle_mode2_data(orbavox_state &state, const orbavox_streams &io);

// Evaluates the complete radio data block: checks terminator and checksum,
// sets radio and position. Always leaves the block state waiting. Returns
// whether it sent a metadata line; changed is set when a position was
// dropped.
bool evaluate_radio_block(orbavox_state &state, const orbavox_streams &io, bool &changed);
