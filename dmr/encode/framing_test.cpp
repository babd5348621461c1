// SPDX-License-Identifier: MIT
// Field framing: sync words, CACH with its TACT, EMB and fragment in the
// centre field, slot type around it, and the voice payload.

#include <gtest/gtest.h>

#include "burst_builder.h"
#include "cach_encoder.h"
#include "emb_encoder.h"
#include "reference_decoder.h"
#include "slot_type_encoder.h"
#include "symbol_distance.h"
#include "voice_payload_encoder.h"

using namespace dmr_encode;

namespace {

std::vector<uint8_t> v(const uint8_t *p, int n) { return std::vector<uint8_t>(p, p + n); }

const std::vector<uint8_t> all_ones_frame = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xE0, 0x00, 0xFF, 0xFC, 0x00};

}  // namespace

TEST(SyncPatterns, WordsAndSymbols) {
    struct {
        burst_sync sync;
        uint64_t word;
        std::vector<uint8_t> symbols;
    } cases[] = {
        {burst_sync::bs_data, 0xDFF57D75DF5D, {3, 1, 3, 3, 3, 3, 1, 1, 1, 3, 3, 1, 1, 3, 1, 1, 3, 1, 3, 3, 1, 1, 3, 1}},
        {burst_sync::bs_voice, 0x755FD7DF75F7, {1, 3, 1, 1, 1, 1, 3, 3, 3, 1, 1, 3,
                                                3, 1, 3, 3, 1, 3, 1, 1, 3, 3, 1, 3}},
        {burst_sync::ms_data, 0xD5D7F77FD757, {3, 1, 1, 1, 3, 1, 1, 3, 3, 3, 1, 3, 1, 3, 3, 3, 3, 1, 1, 3, 1, 1, 1, 3}},
        {burst_sync::ms_voice, 0x7F7D5DD57DFD, {1, 3, 3, 3, 1, 3, 3, 1, 1, 1, 3, 1,
                                                3, 1, 1, 1, 1, 3, 3, 1, 3, 3, 3, 1}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(sync_word(c.sync), c.word);
        uint8_t centre[24];
        place_sync(c.sync, centre);
        EXPECT_EQ(v(centre, 24), c.symbols);
    }
    for (const auto &a : cases)
        for (const auto &b : cases)
            if (&a != &b) {
                EXPECT_GE(symbol_distance(a.symbols.data(), b.symbols.data(), 24), 12);
            }
    EXPECT_EQ(voice_sync_of(false), burst_sync::bs_voice);
    EXPECT_EQ(voice_sync_of(true), burst_sync::ms_voice);
    EXPECT_EQ(data_sync_of(false), burst_sync::bs_data);
    EXPECT_EQ(data_sync_of(true), burst_sync::ms_data);
}

TEST(Cach, TactFieldsAndShortLcBitsLandInTheirPlaces) {
    for (int busy = 0; busy < 2; ++busy)
        for (int slot = 0; slot < 2; ++slot)
            for (int lcss = 0; lcss < 4; ++lcss) {
                uint8_t cach[12];
                build_cach(tact_word(busy, slot, lcss), 0x1ABCD, cach);
                for (uint8_t s : cach) ASSERT_LE(s, 3);
                uint8_t t = reference::tact_of_cach(cach);
                EXPECT_EQ(t >> 6 & 1, busy);
                EXPECT_EQ(t >> 5 & 1, slot);
                EXPECT_EQ(t >> 3 & 3, lcss);
                EXPECT_EQ(reference::syndrome(t, reference::tact_rows, 3), 0u);
                // The 17 other bits, in order, are the short-LC bits.
                uint8_t bits[24];
                symbols_to_bits(cach, 12, bits);
                uint32_t short_lc = 0;
                for (int n : {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 15, 16, 17, 19, 20, 21, 23})
                    short_lc = short_lc << 1 | bits[n];
                EXPECT_EQ(short_lc, 0x1ABCDu);
            }
}

TEST(Emb, WordAndCentreField) {
    EXPECT_EQ(emb_word(1, 0, 1), 0x1391);
    EXPECT_EQ(emb_word(0, 0, 0), 0);
    for (int cc = 0; cc < 16; ++cc)
        for (int pi = 0; pi < 2; ++pi)
            for (int lcss = 0; lcss < 4; ++lcss) {
                uint16_t emb = emb_word(cc, pi, lcss);
                EXPECT_EQ(emb >> 12, cc);
                EXPECT_EQ(emb >> 11 & 1, pi);
                EXPECT_EQ(emb >> 9 & 3, lcss);
                EXPECT_EQ(reference::syndrome(emb, reference::qr_rows, 9), 0u);
            }
    uint8_t centre[24];
    place_emb(0x1391, 0xDEADBEEF, centre);
    EXPECT_EQ(reference::emb_of_centre(centre), 0x1391);
    EXPECT_EQ(reference::fragment_of_centre(centre), 0xDEADBEEFu);
}

TEST(SlotType, WordAndPlacementAroundTheCentreField) {
    EXPECT_EQ(slot_type_word(1, 1), 0x11B8Cu);
    EXPECT_EQ(slot_type_word(0, 0), 0u);
    for (int cc = 0; cc < 16; ++cc)
        for (int dt = 0; dt < 16; ++dt) {
            uint32_t w = slot_type_word(cc, dt);
            EXPECT_EQ(w >> 16, static_cast<uint32_t>(cc));
            EXPECT_EQ(w >> 12 & 15, static_cast<uint32_t>(dt));
            EXPECT_EQ(reference::syndrome(w, reference::golay_rows, 12), 0u);
        }
    burst b;
    place_slot_type(0xABCDE, b.symbols);
    EXPECT_EQ(reference::slot_type_of_burst(b.symbols), 0xABCDEu);
    for (int i = 0; i < 132; ++i)
        if (i < 49 || (i > 53 && i < 78) || i > 82) {
            EXPECT_EQ(b.symbols[i], 0) << i;
        }
}

TEST(VoicePayload, AllOnesAndZeroFrames) {
    uint8_t frames[36] = {};
    uint8_t payload[27];
    interleave_voice(frames, payload);
    EXPECT_EQ(v(payload, 27), std::vector<uint8_t>(27, 0));

    for (int k = 0; k < 3; ++k) std::copy(all_ones_frame.begin(), all_ones_frame.end(), frames + 12 * k);
    interleave_voice(frames, payload);
    EXPECT_EQ(v(payload, 27), std::vector<uint8_t>(27, 0xFF));
    burst b;
    place_voice_payload(payload, b.symbols);
    for (int i = 0; i < 132; ++i) EXPECT_EQ(b.symbols[i], (i >= 54 && i < 78) ? 0 : 3) << i;
}

TEST(VoicePayload, FramesComeBackInOrderThroughTheBurst) {
    uint8_t frames[36];
    for (int i = 0; i < 36; ++i) frames[i] = static_cast<uint8_t>(i * 37 + 11);
    // Only the 72 coded bits of each frame travel; clear the rest the way the
    // receiver leaves them.
    for (int k = 0; k < 3; ++k) {
        uint8_t bits[72];
        extract_voice_frame(frames + 12 * k, bits);
        place_voice_frame(bits, frames + 12 * k);
    }
    burst b = voice_sync_burst(burst_sync::bs_voice, frames);
    EXPECT_EQ(reference::voice_of_burst(b.symbols), v(frames, 36));
    // The middle frame is split by the centre field: its first 36 bits end the
    // first half.
    uint8_t bits[72];
    extract_voice_frame(frames + 12, bits);
    EXPECT_EQ(b.symbols[53], bits[34] << 1 | bits[35]);
    EXPECT_EQ(b.symbols[78], bits[36] << 1 | bits[37]);
}

TEST(BurstLayout, FieldBitPositionsMatchTheFieldsTheReceiverReads) {
    uint8_t frames[36] = {};
    const burst clean = embedded_voice_burst(0x1391, 0x12345678, frames);
    for (int b = 0; b < 16; ++b) {
        burst x = clean;
        flip_symbol_bit(x.symbols, emb_burst_bit(b));
        EXPECT_EQ(reference::emb_of_centre(x.symbols + 54), 0x1391 ^ (1 << b)) << b;
    }
    for (int b = 0; b < 32; ++b) {
        burst x = clean;
        flip_symbol_bit(x.symbols, fragment_burst_bit(b));
        EXPECT_EQ(reference::fragment_of_centre(x.symbols + 54), 0x12345678u ^ (1u << b)) << b;
    }
    const uint8_t info[25] = {};
    const burst data = data_burst(burst_sync::bs_data, 0x11B8C, info);
    for (int b = 0; b < 20; ++b) {
        burst x = data;
        flip_symbol_bit(x.symbols, slot_type_burst_bit(b));
        EXPECT_EQ(reference::slot_type_of_burst(x.symbols), 0x11B8Cu ^ (1u << b)) << b;
    }
    for (int i = 0; i < 196; ++i) {
        burst x = data;
        flip_symbol_bit(x.symbols, info_burst_bit(i));
        uint8_t back[25];
        reference::info_of_burst(x.symbols, back);
        for (int j = 0; j < 196; ++j) ASSERT_EQ(bit_at(back, j), j == i ? 1 : 0) << i;
    }
    for (int j : {0, 107, 108, 215}) {
        burst x = clean;
        flip_symbol_bit(x.symbols, voice_burst_bit(j));
        uint8_t bits[72];
        std::vector<uint8_t> voice = reference::voice_of_burst(x.symbols);
        extract_voice_frame(voice.data() + 12 * (j / 72), bits);
        EXPECT_EQ(bits[j % 72], 1) << j;
    }
}
