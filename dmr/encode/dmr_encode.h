// SPDX-License-Identifier: MIT
#pragma once
// Encoders of DMR codes and framing, the inverse of the decoder, for test
// fixtures and test signals. Everything lives in namespace dmr_encode.

#include "bptc_196_96_encoder.h"
#include "burst_builder.h"
#include "burst_layout.h"
#include "cach_encoder.h"
#include "channel_builder.h"
#include "csbk_encoder.h"
#include "data_crc_encoder.h"
#include "data_message_encoder.h"
#include "emb_encoder.h"
#include "embedded_lc_encoder.h"
#include "full_lc_encoder.h"
#include "golay_20_8_encoder.h"
#include "hamming_13_9_encoder.h"
#include "hamming_15_11_encoder.h"
#include "hamming_16_11_encoder.h"
#include "hamming_7_4_encoder.h"
#include "pi_header_encoder.h"
#include "qr_16_7_encoder.h"
#include "rs_12_9_encoder.h"
#include "slot_type_encoder.h"
#include "sync_patterns.h"
#include "talker_alias_encoder.h"
#include "trellis_3_4_encoder.h"
#include "voice_payload_encoder.h"
