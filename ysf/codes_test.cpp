// SPDX-License-Identifier: MIT
// The channel codes of the System Fusion decoder: Golay (24,12), CRC-16,
// PN9 whitening, the K=5 Viterbi decoder and the FICH.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bits.h"
#include "crc16.h"
#include "fich.h"
#include "golay_24_12.h"
#include "pn9.h"
#include "viterbi_k5.h"
#include "ysf_encode.h"

namespace {

// Flips `weight` distinct random bits among the low 24.
uint32_t random_error(std::mt19937 &rng, int weight) {
    uint32_t e = 0;
    while (__builtin_popcount(e) < weight) e |= 1u << (rng() % 24);
    return e;
}

TEST(Golay2412, EncoderWordsSatisfyTheParityCheckRows) {
    for (uint32_t d = 0; d < 4096; ++d) {
        uint32_t word = ysf_encode::golay_24_12_encode(d);
        ASSERT_EQ(word >> 12, d);
        ASSERT_EQ(golay_24_12_syndrome(word), 0u) << std::hex << word;
    }
}

// Up to three errors are corrected back to the code word; four are always
// detected and leave the word as received.
TEST(Golay2412, ErrorSweep) {
    std::mt19937 rng(2412);
    for (int weight = 0; weight <= 4; ++weight) {
        for (int trial = 0; trial < 2000; ++trial) {
            uint32_t codeword = ysf_encode::golay_24_12_encode(rng() & 0xfff);
            uint32_t received = codeword ^ random_error(rng, weight);
            uint32_t word = received;
            bool ok = golay_24_12_correct(word);
            if (weight <= 3) {
                ASSERT_TRUE(ok) << "weight " << weight;
                ASSERT_EQ(word, codeword);
            } else {
                ASSERT_FALSE(ok);
                ASSERT_EQ(word, received);
            }
        }
    }
}

TEST(Crc16, KnownValues) {
    const char *digits = "123456789";
    EXPECT_EQ(crc16_gsm(reinterpret_cast<const uint8_t *>(digits), 9), 0xCE3C);
    const uint8_t zeros[4] = {};
    EXPECT_TRUE(crc16_matches(zeros, 4, 0xFFFF));
    EXPECT_FALSE(crc16_matches(zeros, 4, 0x0000));
    const uint8_t info[4] = {0x40, 0x00, 0x02, 0x00};
    EXPECT_EQ(crc16_gsm(info, 4), ysf_encode::crc16_compute(info, 4));
}

TEST(Pn9, SequenceAndInverse) {
    uint8_t zeros[4] = {}, out[4];
    pn9_descramble(zeros, out, 32);
    const uint8_t expected[4] = {0x93, 0xD7, 0x51, 0x21};
    EXPECT_EQ(0, std::memcmp(out, expected, 4));

    // 100 bits of data: twice restores it, in place as well; bits past n are 0.
    uint8_t data[13], once[13], twice[13];
    for (int i = 0; i < 13; ++i) data[i] = static_cast<uint8_t>(0x5a + 37 * i);
    data[12] &= 0xf0;
    pn9_descramble(data, once, 100);
    EXPECT_EQ(once[12] & 0x0f, 0);
    pn9_descramble(once, twice, 100);
    EXPECT_EQ(0, std::memcmp(data, twice, 13));
    uint8_t in_place[13];
    std::memcpy(in_place, data, 13);
    pn9_descramble(in_place, in_place, 100);
    EXPECT_EQ(0, std::memcmp(in_place, once, 13));
    uint8_t whitened[13];
    ysf_encode::pn9_whiten(data, whitened, 100);
    EXPECT_EQ(0, std::memcmp(whitened, once, 13));
}

// Convolutionally encodes n random bits plus the tail, packed for the decoder.
struct coded_sequence {
    std::vector<uint8_t> bits;    // n packed data bits
    std::vector<uint8_t> dibits;  // n + 4 symbol bytes
    std::vector<uint8_t> packed;  // the dibits four to a byte
};

std::vector<uint8_t> pack_dibits(const std::vector<uint8_t> &dibits) {
    std::vector<uint8_t> packed((dibits.size() + 3) / 4, 0);
    for (size_t i = 0; i < dibits.size(); ++i)
        packed[i / 4] |= static_cast<uint8_t>((dibits[i] & 3) << (6 - 2 * (i % 4)));
    return packed;
}

coded_sequence encode_random(std::mt19937 &rng, int n) {
    coded_sequence c;
    c.bits.assign(static_cast<size_t>((n + 7) / 8), 0);
    for (int i = 0; i < n; ++i) put_bit(c.bits.data(), i, static_cast<int>(rng() & 1));
    c.dibits.assign(static_cast<size_t>(n + 4), 0);
    ysf_encode::conv_k5_encode(c.bits.data(), n, c.dibits.data());
    c.packed = pack_dibits(c.dibits);
    return c;
}

// The decoded bits must be the data followed by the four zero tail bits.
void expect_decodes_to(const std::vector<uint8_t> &packed, const coded_sequence &c, int n, const std::string &what) {
    int total = n + 4;
    std::vector<uint8_t> out(static_cast<size_t>((total + 7) / 8), 0xff);
    viterbi_k5_decode(packed.data(), total, out.data());
    for (int i = 0; i < total; ++i) {
        int expected = i < n ? bit_at(c.bits.data(), i) : 0;
        ASSERT_EQ(bit_at(out.data(), i), expected) << what << " bit " << i;
    }
    for (int i = total; i < 8 * static_cast<int>(out.size()); ++i) ASSERT_EQ(bit_at(out.data(), i), 0);
}

TEST(ViterbiK5, ExpectedDibitTable) {
    const uint8_t table[32] = {0, 3, 3, 0, 2, 1, 1, 2, 1, 2, 2, 1, 3, 0, 0, 3,
                               1, 2, 2, 1, 3, 0, 0, 3, 0, 3, 3, 0, 2, 1, 1, 2};
    for (int i = 0; i < 32; ++i) EXPECT_EQ(viterbi_k5_expected_dibit(i / 2, i % 2), table[i]) << i;
}

TEST(ViterbiK5, CleanSequencesOfEveryLength) {
    std::mt19937 rng(5);
    for (int n : {1, 2, 7, 28, 96, 176, 251}) {
        coded_sequence c = encode_random(rng, n);
        expect_decodes_to(c.packed, c, n, "n=" + std::to_string(n));
    }
}

// Any one wrong bit anywhere among the received dibits, the tail included, is
// corrected.
TEST(ViterbiK5, SingleWrongBitAnywhere) {
    std::mt19937 rng(96);
    const int n = 96;
    coded_sequence c = encode_random(rng, n);
    for (int pos = 0; pos < n + 4; ++pos)
        for (uint8_t flip = 1; flip <= 2; ++flip) {
            std::vector<uint8_t> dibits = c.dibits;
            dibits[static_cast<size_t>(pos)] ^= flip;
            expect_decodes_to(pack_dibits(dibits), c, n,
                              "pos " + std::to_string(pos) + " flip " + std::to_string(flip));
        }
}

// Both bits of one dibit wrong, away from the start (whose state is
// unknown): the path forced into state 0 by the tail corrects it, in the
// last three dibits too, where a free end state would take the error as
// the best path's end.
TEST(ViterbiK5, DibitWrongInBothBitsIsCorrectedUpToTheEnd) {
    std::mt19937 rng(7);
    for (int n : {96, 176}) {
        for (int trial = 0; trial < 4; ++trial) {
            coded_sequence c = encode_random(rng, n);
            for (int pos = 16; pos < n + 4; ++pos) {
                std::vector<uint8_t> dibits = c.dibits;
                dibits[static_cast<size_t>(pos)] ^= 3;
                expect_decodes_to(pack_dibits(dibits), c, n, "n " + std::to_string(n) + " pos " + std::to_string(pos));
            }
        }
    }
}

TEST(ViterbiK5, ScatteredErrorsOverAHeaderChannel) {
    std::mt19937 rng(180);
    const int n = 176;
    for (int trial = 0; trial < 20; ++trial) {
        coded_sequence c = encode_random(rng, n);
        std::vector<uint8_t> dibits = c.dibits;
        // One wrong bit in every stretch of 15 dibits.
        for (int start = 0; start + 15 <= n + 4; start += 15)
            dibits[static_cast<size_t>(start + static_cast<int>(rng() % 15))] ^= static_cast<uint8_t>(1 + rng() % 2);
        expect_decodes_to(pack_dibits(dibits), c, n, "trial " + std::to_string(trial));
    }
}

// The path ends in state 0: a lone dibit 3 is matched by state 8 (input 1
// from state 0) and by state 0 (input 0 from state 1); the output is state
// 0's bit.
TEST(ViterbiK5, TiesGoToTheLowestState) {
    const uint8_t packed[1] = {0xc0};
    uint8_t out[1] = {0xff};
    EXPECT_EQ(viterbi_k5_decode(packed, 1, out), 0);
    EXPECT_EQ(out[0], 0x00);
}

// The returned metric is the distance from the received dibits to the best
// code path with a free start state that ends in state 0 (its last four bits
// 0), also on the longest inputs and on inputs far from every path.
TEST(ViterbiK5, MetricIsTheDistanceToTheDecodedPath) {
    std::mt19937 rng(255);
    for (int trial = 0; trial < 30; ++trial) {
        int n = trial < 15 ? 180 : 255;
        std::vector<uint8_t> dibits(static_cast<size_t>(n));
        for (auto &d : dibits) d = static_cast<uint8_t>(rng() & 3);
        std::vector<uint8_t> packed = pack_dibits(dibits);
        std::vector<uint8_t> out(static_cast<size_t>((n + 7) / 8));
        int metric = viterbi_k5_decode(packed.data(), n, out.data());

        int best = 1 << 30;
        for (int start = 0; start < 16; ++start) {
            int state = start, distance = 0;
            for (int i = 0; i < n; ++i) {
                int b = bit_at(out.data(), i);
                distance += __builtin_popcount(ysf_encode::conv_k5_output(state, b) ^ dibits[static_cast<size_t>(i)]);
                state = (state >> 1) | (b << 3);
            }
            best = std::min(best, distance);
        }
        EXPECT_EQ(metric, best) << "trial " << trial;
        EXPECT_GT(metric, 0);
        for (int i = n - 4; i < n; ++i) EXPECT_EQ(bit_at(out.data(), i), 0) << "trial " << trial << " bit " << i;
    }
}

TEST(ViterbiK5, LengthOutsideRangeDecodesNothing) {
    uint8_t packed[64] = {}, out[33];
    std::memset(out, 0xaa, sizeof out);
    EXPECT_EQ(viterbi_k5_decode(packed, 0, out), 0);
    EXPECT_EQ(viterbi_k5_decode(packed, 256, out), 0);
    EXPECT_EQ(out[0], 0xaa);
}

TEST(Fich, FieldsOfTheInformationBits) {
    fich_record r = fich_from_information(0x40000200);
    EXPECT_EQ(r.FI, 1);
    EXPECT_EQ(r.DT, 2);
    fich_record zero = fich_from_information(0);
    r.FI = 0;
    r.DT = 0;
    EXPECT_EQ(0, std::memcmp(&r, &zero, sizeof r));

    // Every field at its largest value, and bit 15 belonging to none.
    fich_record all = fich_from_information(0xffffffff);
    const uint8_t widest[13] = {3, 3, 3, 3, 3, 7, 7, 1, 7, 1, 3, 1, 127};
    EXPECT_EQ(0, std::memcmp(&all, widest, sizeof widest));
    fich_record bit15 = fich_from_information(0x00008000);
    EXPECT_EQ(0, std::memcmp(&bit15, &zero, sizeof zero));
}

// A ring holding the 100 FICH symbols at a read position near the end of
// the ring, so the frame's offsets wrap around.
ysf_ring ring_with_fich(const uint8_t symbols[100]) {
    ysf_ring ring;
    ring.read_pos = 2000;
    ring.write_pos = 2000;
    uint8_t frame[480] = {};
    std::memcpy(frame, ysf_encode::frame_sync, 20);
    std::memcpy(frame + 20, symbols, 100);
    ring_append(ring, frame, 480);
    return ring;
}

struct captured {
    char *text = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&text, &size);
    std::string take() {
        std::fflush(stream);
        std::string s(text, size);
        std::fclose(stream);
        std::free(text);
        return s;
    }
};

TEST(Fich, DecodesWhatTheEncoderSends) {
    ysf_encode::fich_fields f;
    f.fi = 1;
    f.fn = 5;
    f.ft = 7;
    f.dt = 3;
    f.mr = 2;
    f.sc = 0x55;
    uint8_t symbols[100];
    ysf_encode::encode_fich(f, symbols);
    ysf_ring ring = ring_with_fich(symbols);
    captured err;
    fich_record r;
    ASSERT_TRUE(decode_fich(ring, r, err.stream));
    EXPECT_EQ(err.take(), "");
    EXPECT_EQ(r.FI, 1);
    EXPECT_EQ(r.FN, 5);
    EXPECT_EQ(r.FT, 7);
    EXPECT_EQ(r.DT, 3);
    EXPECT_EQ(r.MR, 2);
    EXPECT_EQ(r.SC, 0x55);
    EXPECT_EQ(r.CS, 0);
}

// Three wrong bits in every Golay word are corrected; a fourth in one word
// fails with one message; a wrong CRC fails with its own.
TEST(Fich, GolayAndCrcFailures) {
    const uint32_t information = 0x40000200;
    uint32_t clean[4];
    ysf_encode::fich_golay_words(information, clean);

    struct fich_case {
        const char *name;
        uint32_t errors[4];
        bool ok;
        const char *message;
    } cases[] = {
        {"three per word", {0x800401, 0x010110, 0x000007, 0xe00000}, true, ""},
        {"four in one word", {0x000000, 0x0f0000, 0x000000, 0x000000}, false, "golay failure\n"},
        {"four in two words", {0x00000f, 0x000000, 0xf00000, 0x000000}, false, "golay failure\n"},
    };
    for (const fich_case &c : cases) {
        uint32_t words[4];
        for (int w = 0; w < 4; ++w) words[w] = clean[w] ^ c.errors[w];
        uint8_t symbols[100];
        ysf_encode::encode_fich_words(words, symbols);
        ysf_ring ring = ring_with_fich(symbols);
        captured err;
        fich_record r;
        EXPECT_EQ(decode_fich(ring, r, err.stream), c.ok) << c.name;
        EXPECT_EQ(err.take(), c.message) << c.name;
        if (c.ok) {
            EXPECT_EQ(r.DT, 2) << c.name;
        }
    }

    // Valid Golay words whose CRC does not match: one information bit changed.
    uint32_t words[4];
    std::memcpy(words, clean, sizeof words);
    words[1] = ysf_encode::golay_24_12_encode((words[1] >> 12) ^ 0x001);
    uint8_t symbols[100];
    ysf_encode::encode_fich_words(words, symbols);
    ysf_ring ring = ring_with_fich(symbols);
    captured err;
    fich_record r;
    EXPECT_FALSE(decode_fich(ring, r, err.stream));
    EXPECT_EQ(err.take(), "CRC failure\n");

    // All-zero symbols decode to valid words but fail the CRC.
    const uint8_t zeros[100] = {};
    ysf_ring zero_ring = ring_with_fich(zeros);
    captured zero_err;
    EXPECT_FALSE(decode_fich(zero_ring, r, zero_err.stream));
    EXPECT_EQ(zero_err.take(), "CRC failure\n");
}

}  // namespace
