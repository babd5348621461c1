// SPDX-License-Identifier: MIT
#pragma once
// The System Fusion encoders for test fixtures and test signals, all in one
// include. Everything lives in namespace ysf_encode.

#include "conv_k5_encode.h"
#include "crc16_encode.h"
#include "data_channel_encode.h"
#include "fich_encode.h"
#include "frame_builder.h"
#include "golay_24_12_encode.h"
#include "pn9_whiten.h"
#include "radio_data_encode.h"
#include "voice_channel_encode.h"
