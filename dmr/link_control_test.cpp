// Embedded signalling, full link control and the hex dump, in-process.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decoder_fixture.h"
#include "embedded_lc.h"
#include "full_lc.h"
#include "hex_dump.h"

namespace {

using namespace dmr_encode;

std::vector<uint8_t> lc_bytes(uint8_t opcode, uint32_t target, uint32_t source) {
    full_lc lc;
    lc.opcode = opcode;
    lc.target = target;
    lc.source = source;
    std::vector<uint8_t> b(9);
    full_lc_bytes(lc, b.data());
    return b;
}

struct lc_block {
    uint8_t bytes[16];
};

lc_block block_of(const std::vector<uint8_t> &lc) {
    lc_block b;
    embedded_lc_encode(lc.data(), b.bytes);
    return b;
}

void flip(lc_block &b, int row, int column) {
    int n = embedded_lc_bit_of(row, column);
    b.bytes[n / 8] ^= static_cast<uint8_t>(0x80 >> (n % 8));
}

// Sends fragment k of the block with the given LCSS.
void send(decoder_fixture &f, const lc_block &b, int k, int lcss, int slot = 1) {
    uint8_t symbols[16];
    word_to_symbols(embedded_lc_fragment(b.bytes, k), 16, symbols);
    collect_fragment(f.state, symbols, slot, lcss);
}

void send_superframe(decoder_fixture &f, const lc_block &b, int slot = 1) {
    for (int k = 0; k < 4; ++k) send(f, b, k, embedded_lc_fragment_lcss(k), slot);
}

const std::string group_text = "decoding embedded signalling for slot 1  group voice; group: 9, source: 2001 ";
const std::string group_line = "protocol:DMR;slot:1;type:group;source:2001;target:9;\n";

TEST(embedded_lc, checksum_of_known_lcs) {
    uint8_t zero[9] = {};
    EXPECT_EQ(::embedded_lc_checksum(zero), 0);
    EXPECT_EQ(::embedded_lc_checksum(lc_bytes(0, 9, 2001).data()), 8);
}

TEST(embedded_lc, first_two_continuations_last_decode_a_group_call) {
    decoder_fixture f;
    send_superframe(f, block_of(lc_bytes(0, 9, 2001)));
    EXPECT_EQ(f.diagnostics(), group_text);
    EXPECT_EQ(f.metadata(), group_line);
    EXPECT_EQ(f.state.fragment_count[1], 0);
}

TEST(embedded_lc, missing_continuation_drops_the_set_and_the_next_first_starts_over) {
    decoder_fixture f;
    lc_block b = block_of(lc_bytes(0, 9, 2001));
    send(f, b, 0, 1);
    send(f, b, 1, 3);
    send(f, b, 3, 2);
    EXPECT_EQ(f.diagnostics(), "");
    send_superframe(f, b);
    EXPECT_EQ(f.diagnostics(), group_text);
}

TEST(embedded_lc, three_continuations_without_first_are_decoded) {
    decoder_fixture f;
    lc_block b = block_of(lc_bytes(0, 9, 2001));
    for (int k = 0; k < 3; ++k) send(f, b, k, 3);
    send(f, b, 3, 2);
    EXPECT_EQ(f.diagnostics(), group_text);
}

TEST(embedded_lc, too_many_continuations_overflow) {
    decoder_fixture f;
    lc_block b = block_of(lc_bytes(0, 9, 2001));
    send(f, b, 0, 1);
    for (int k = 1; k < 4; ++k) send(f, b, k, 3);  // the third is stored as fragment 3
    EXPECT_EQ(f.diagnostics(), "");
    send(f, b, 3, 2);
    EXPECT_EQ(f.diagnostics(), "embedded data backlog overflow; ignoring frame data\n");
    EXPECT_EQ(f.metadata(), "");
    // The set is dropped; a following superframe decodes normally.
    send_superframe(f, b);
    EXPECT_EQ(f.metadata(), group_line);
}

TEST(embedded_lc, single_errors_in_rows_0_to_6_are_corrected) {
    for (int row = 0; row < 7; ++row)
        for (int column : {0, 6, 15}) {
            decoder_fixture f;
            lc_block b = block_of(lc_bytes(0, 9, 2001));
            flip(b, row, column);
            send_superframe(f, b);
            EXPECT_EQ(f.diagnostics(), group_text) << "row " << row << " column " << column;
        }
}

struct lc_failure {
    std::vector<std::pair<int, int>> errors;  // row, column
    std::string message;
};

class embedded_lc_failure : public ::testing::TestWithParam<lc_failure> {};

TEST_P(embedded_lc_failure, writes_its_message_and_drops_the_lc) {
    decoder_fixture f;
    lc_block b = block_of(lc_bytes(0, 9, 2001));
    for (auto [r, c] : GetParam().errors) flip(b, r, c);
    send_superframe(f, b);
    EXPECT_EQ(f.diagnostics(), "decoding embedded signalling for slot 1 " + GetParam().message);
    EXPECT_EQ(f.metadata(), "");
}

INSTANTIATE_TEST_SUITE_P(dmr, embedded_lc_failure,
                         ::testing::Values(lc_failure{{{4, 2}, {4, 9}}, "incorrectable error in FLC (position 4)\n"},
                                           lc_failure{{{0, 1}, {0, 3}, {5, 2}, {5, 3}},
                                                      "incorrectable error in FLC (position 0)\n"},
                                           lc_failure{{{7, 0}}, "FLC parity error: 32768\n"},
                                           lc_failure{{{7, 15}, {7, 14}}, "FLC parity error: 3\n"}));

TEST(embedded_lc, checksum_error) {
    // Flip the checksum bit of row 2 (its bit 5, column 10) and re-encode the
    // row and the column parity, so that only the checksum is wrong.
    decoder_fixture f;
    std::vector<uint8_t> lc = lc_bytes(0, 9, 2001);
    lc_block b = block_of(lc);
    uint16_t rows[8];
    for (int r = 0; r < 8; ++r) rows[r] = embedded_lc_row(b.bytes, r);
    rows[2] = hamming_16_11_encode(static_cast<uint16_t>((rows[2] >> 5) ^ 1));
    rows[7] = 0;
    for (int r = 0; r < 7; ++r) rows[7] ^= rows[r];
    std::memset(b.bytes, 0, sizeof b.bytes);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c)
            if ((rows[r] >> (15 - c)) & 1) flip(b, r, c);
    send_superframe(f, b);
    // Received checksum 8 with its top bit flipped.
    EXPECT_EQ(f.diagnostics(),
              "decoding embedded signalling for slot 1 FLC checksum error; checksum: 8, received checksum: 24\n");
}

TEST(embedded_lc, slots_are_collected_separately) {
    decoder_fixture f;
    lc_block b0 = block_of(lc_bytes(3, 1234, 5678));
    lc_block b1 = block_of(lc_bytes(0, 9, 2001));
    for (int k = 0; k < 4; ++k) {
        send(f, b0, k, embedded_lc_fragment_lcss(k), 0);
        send(f, b1, k, 0, 0);  // single fragments do not interfere
        send(f, b1, k, embedded_lc_fragment_lcss(k), 1);
    }
    EXPECT_EQ(f.diagnostics(),
              "decoding embedded signalling for slot 0  direct voice; target: 1234, source: 5678 " + group_text);
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:0;type:direct;source:5678;target:1234;\n" + group_line);
}

TEST(full_lc, opcodes) {
    decoder_fixture f;
    std::vector<uint8_t> lc = lc_bytes(0, 0xFFFFFF, 0);
    lc[0] |= 0xC0;  // bits 7..6 of b0 are not part of the opcode
    handle_full_lc(f.state, lc.data(), 0);
    handle_full_lc(f.state, lc_bytes(4, 9, 2001).data(), 0);
    EXPECT_EQ(f.diagnostics(), " group voice; group: 16777215, source: 0  unknown flc opcode: 4 ");
    // A source of 0 is left out of the line.
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:0;type:group;target:16777215;\n");
}

TEST(hex_dump, lines_of_sixteen_with_the_bar_aligned) {
    char *data = nullptr;
    size_t size = 0;
    FILE *err = open_memstream(&data, &size);
    unsigned char bytes[20];
    for (int i = 0; i < 20; ++i) bytes[i] = static_cast<unsigned char>(i);
    bytes[16] = 'A';
    bytes[17] = 0x7E;
    bytes[18] = 0x7F;
    bytes[19] = ' ';
    hex_dump(err, bytes, 12);
    hex_dump(err, bytes, 20);
    hex_dump(err, bytes + 16, 4);
    hex_dump(err, bytes, 0);
    std::fclose(err);
    std::string twelve = "00 01 02 03 04 05 06 07  08 09 0A 0B " + std::string(13, ' ') + "|  ............ \n";
    std::string sixteen = "00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  |  ................ \n";
    std::string four = "41 7E 7F 20" + std::string(39, ' ') + "|  A~.  \n";
    EXPECT_EQ(std::string(data, size), twelve + sixteen + four + four);
    EXPECT_EQ(twelve.find('|'), 50u);
    EXPECT_EQ(four.find('|'), 50u);
    std::free(data);
}

}  // namespace
