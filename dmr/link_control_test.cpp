// SPDX-License-Identifier: MIT
// Embedded signalling, full link control and the hex dump, in-process.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decoder_fixture.h"
#include "embedded_lc.h"
#include "full_lc.h"
#include "gps_info.h"
#include "hex_dump.h"
#include "slot_metadata.h"
#include "talker_alias.h"

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

std::vector<uint8_t> bytes_of(const dmr_encode::lc_bytes &lc) { return std::vector<uint8_t>(lc.begin(), lc.end()); }

TEST(talker_alias, encoder_against_a_hand_made_header) {
    // "AB" in 7-bit characters: format 00, length 2 (00010), then the data
    // bits 1000001 1000010: b2 = 00 00010 1 = 05, b3 = 000001 10 = 06,
    // b4 = 00010 000 = 10. Two characters fit the header: no block.
    std::vector<dmr_encode::lc_bytes> lcs;
    ASSERT_TRUE(talker_alias_lcs("AB", alias_format_7bit, lcs));
    ASSERT_EQ(lcs.size(), 1u);
    EXPECT_EQ(bytes_of(lcs[0]), (std::vector<uint8_t>{0x04, 0x00, 0x05, 0x06, 0x10, 0, 0, 0, 0}));
    decoder_fixture f;
    send_superframe(f, block_of(bytes_of(lcs[0])));
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:1;alias:AB;\n");
    EXPECT_EQ(f.diagnostics(), "decoding embedded signalling for slot 1  talker alias header ");

    for (const char *refused : {"", "\xC3", "\xE2\x82\xAC", "0123456789012345678901234567890123"}) {
        EXPECT_FALSE(talker_alias_lcs(refused, alias_format_iso8859, lcs)) << refused;
    }
    EXPECT_FALSE(talker_alias_lcs("\xC3\xA9", alias_format_7bit, lcs));
}

TEST(talker_alias, every_format_assembles_in_any_order_and_needs_every_block) {
    struct {
        int format;
        std::string text;
        std::size_t parts;  // header and blocks
    } cases[] = {
        {alias_format_7bit, "DL1ABC Hans; portable", 3},            // 21 * 7 = 147 bits
        {alias_format_7bit, "0123456789012345678901234567890", 4},  // 31 * 7 = 217 bits, the most
        {alias_format_iso8859,
         "J\xC3\xBCrgen \xC3\x85"
         "berg, Malm\xC3\xB6",
         3},                                                                           // Latin-1 bytes to UTF-8
        {alias_format_utf8, "\xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x93\xBB DL1ABC/p", 3},  // 3- and 4-byte characters
        {alias_format_utf16, "\xD0\x9C\xD0\xB8\xD1\x80 \xF0\x9F\x93\xBB DL1", 3},      // a surrogate pair
    };
    for (const auto &c : cases) {
        std::vector<dmr_encode::lc_bytes> lcs;
        ASSERT_TRUE(talker_alias_lcs(c.text, c.format, lcs)) << c.text;
        ASSERT_EQ(lcs.size(), c.parts) << c.text;
        std::string escaped;
        for (char ch : c.text) escaped += ch == ';' ? std::string("\\x3B") : std::string(1, ch);
        const std::string line = "protocol:DMR;slot:1;alias:" + escaped + ";\n";

        // In order: the alias is reported once, when the last block arrives.
        decoder_fixture f;
        for (std::size_t i = 0; i < lcs.size(); ++i) {
            EXPECT_EQ(f.metadata(), "") << c.text << " part " << i;
            send_superframe(f, block_of(bytes_of(lcs[i])));
        }
        for (const dmr_encode::lc_bytes &lc : lcs) send_superframe(f, block_of(bytes_of(lc)));  // repeated: no new line
        EXPECT_EQ(f.metadata(), line) << c.text;

        // Blocks first, the header last (tuned in late).
        decoder_fixture late;
        for (std::size_t i = lcs.size(); i-- > 0;) send_superframe(late, block_of(bytes_of(lcs[i])));
        EXPECT_EQ(late.metadata(), line);

        // A block missing: nothing, however often the others come.
        decoder_fixture missing;
        for (int round = 0; round < 2; ++round)
            for (std::size_t i = 0; i + 1 < lcs.size(); ++i) send_superframe(missing, block_of(bytes_of(lcs[i])));
        EXPECT_EQ(missing.metadata(), "") << c.text;
    }
}

TEST(talker_alias, decoding_odd_data) {
    uint8_t data[talker_alias_data_bytes] = {};
    char text[slot_alias_size];
    // A zero character ends the text; a length of 0 is complete and empty.
    const uint8_t hi_and_zero[] = {'H', 'i', 0, 'x'};
    std::copy(hi_and_zero, hi_and_zero + 4, data);
    EXPECT_TRUE(decode_talker_alias(talker_alias_iso8859, 4, data, 49, text, sizeof text));
    EXPECT_STREQ(text, "Hi");
    EXPECT_TRUE(decode_talker_alias(talker_alias_iso8859, 0, data, 49, text, sizeof text));
    EXPECT_STREQ(text, "");
    // Seven ISO characters need 56 bits: not complete with the header's 49.
    EXPECT_FALSE(decode_talker_alias(talker_alias_iso8859, 7, data, 49, text, sizeof text));
    // Invalid UTF-8 and a lone UTF-16 surrogate become U+FFFD.
    const uint8_t bad_utf8[] = {'a', 0xC3, 'b', 0xFF};
    std::fill(data, data + sizeof data, 0);
    std::copy(bad_utf8, bad_utf8 + 4, data);
    EXPECT_TRUE(decode_talker_alias(talker_alias_utf8, 4, data, 217, text, sizeof text));
    EXPECT_STREQ(text,
                 "a\xEF\xBF\xBD"
                 "b\xEF\xBF\xBD");
    const uint8_t lone[] = {0xD8, 0x3D, 0x00, 'z'};
    std::fill(data, data + sizeof data, 0);
    std::copy(lone, lone + 4, data);
    EXPECT_TRUE(decode_talker_alias(talker_alias_utf16, 2, data, 217, text, sizeof text));
    EXPECT_STREQ(text, "\xEF\xBF\xBDz");
    // 27 bytes of invalid UTF-8 do not overrun a small buffer.
    std::fill(data, data + sizeof data, 0xFF);
    char small[8];
    EXPECT_TRUE(decode_talker_alias(talker_alias_utf8, 31, data, 217, small, sizeof small));
    EXPECT_STREQ(small, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(talker_alias, a_new_header_starts_afresh_and_the_end_of_the_call_clears_it) {
    std::vector<dmr_encode::lc_bytes> first, second;
    ASSERT_TRUE(talker_alias_lcs("Alpha Bravo Charlie", alias_format_7bit, first));
    ASSERT_TRUE(talker_alias_lcs("Delta Echo Foxtrot", alias_format_7bit, second));
    ASSERT_EQ(first.size(), 3u);
    decoder_fixture f;
    for (const dmr_encode::lc_bytes &lc : first) send_superframe(f, block_of(bytes_of(lc)));
    // The second alias's header with the first's blocks: not reported until
    // its own blocks have come.
    send_superframe(f, block_of(bytes_of(second[0])));
    send_superframe(f, block_of(bytes_of(first[1])));
    send_superframe(f, block_of(bytes_of(second[1])));
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:1;alias:Alpha Bravo Charlie;\n");
    send_superframe(f, block_of(bytes_of(second[2])));
    EXPECT_EQ(f.metadata(),
              "protocol:DMR;slot:1;alias:Alpha Bravo Charlie;\nprotocol:DMR;slot:1;alias:Delta Echo Foxtrot;\n");
    end_slot_call(f.state, 1);
    send_superframe(f, block_of(bytes_of(second[2])));  // its header went with the call
    EXPECT_EQ(f.metadata(),
              "protocol:DMR;slot:1;alias:Alpha Bravo Charlie;\nprotocol:DMR;slot:1;alias:Delta Echo Foxtrot;\n"
              "protocol:DMR;slot:1;\n");
}

TEST(gps_info, encoder_against_a_hand_made_lc) {
    // Latitude 45 = 2^22 steps of 180 / 2^24 (0x400000); longitude -90 =
    // -2^23 steps of 360 / 2^25, 0x1800000 in 25 bits; error 2. Data:
    // 2 << 49 | 0x1800000 << 24 | 0x400000 = 0x05800000400000.
    EXPECT_EQ(bytes_of(gps_info_lc(45.0, -90.0, 2)),
              (std::vector<uint8_t>{0x08, 0x00, 0x05, 0x80, 0x00, 0x00, 0x40, 0x00, 0x00}));
    decoder_fixture f;
    send_superframe(f, block_of(bytes_of(gps_info_lc(45.0, -90.0, 2))));
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:1;lat:45.000000;lon:-90.000000;\n");
    EXPECT_EQ(f.diagnostics(), "decoding embedded signalling for slot 1  gps info ");
}

TEST(gps_info, range_ends_and_not_known_codes) {
    auto lc_of = [](uint32_t lon, uint32_t lat) {
        uint64_t data = (uint64_t{lon} << 24) | lat;
        std::vector<uint8_t> lc = {0x08, 0x00};
        for (int i = 0; i < 7; ++i) lc.push_back(static_cast<uint8_t>(data >> (48 - 8 * i)));
        return lc;
    };
    struct {
        uint32_t lon, lat;
        bool known;
        double latitude, longitude;
    } cases[] = {
        {0x0FFFFFF, 0x7FFFFF, true, 90.0 - 180.0 / (1 << 24), 180.0 - 360.0 / (1 << 25)},    // the north-east end
        {0x1000001, 0x800001, true, -90.0 + 180.0 / (1 << 24), -180.0 + 360.0 / (1 << 25)},  // the south-west end
        {0, 0, true, 0.0, 0.0},
        {0x1000000, 0x123456, false, 0, 0},  // longitude not known
        {0x0123456, 0x800000, false, 0, 0},  // latitude not known
    };
    for (const auto &c : cases) {
        double latitude = -1, longitude = -1;
        EXPECT_EQ(decode_gps_info(lc_of(c.lon, c.lat).data(), latitude, longitude), c.known);
        if (!c.known) continue;
        EXPECT_EQ(latitude, c.latitude);
        EXPECT_EQ(longitude, c.longitude);
    }
    // The encoder keeps the range ends off the not-known codes.
    double latitude, longitude;
    ASSERT_TRUE(decode_gps_info(gps_info_lc(90.0, 180.0, 0).data(), latitude, longitude));
    EXPECT_EQ(latitude, 90.0 - 180.0 / (1 << 24));
    EXPECT_EQ(longitude, 180.0 - 360.0 / (1 << 25));
    ASSERT_TRUE(decode_gps_info(gps_info_lc(-90.0, -180.0, 0).data(), latitude, longitude));
    EXPECT_EQ(latitude, -90.0 + 180.0 / (1 << 24));
    EXPECT_EQ(longitude, -180.0 + 360.0 / (1 << 25));

    // A not-known position sends nothing; a changed one a new line; the
    // same one again nothing; a data sync ends the call and clears it.
    decoder_fixture f;
    send_superframe(f, block_of(lc_of(0x1000000, 0x800000)));
    send_superframe(f, block_of(bytes_of(gps_info_lc(22.5, 11.25, 1))));
    send_superframe(f, block_of(bytes_of(gps_info_lc(22.5, 11.25, 1))));
    change_slot_mode(f.state, 1, slot_mode_data);
    EXPECT_EQ(f.metadata(), "protocol:DMR;slot:1;lat:22.500000;lon:11.250000;\nprotocol:DMR;slot:1;sync:data;\n");

    // Another caller's voice LC without a terminator between drops them too;
    // the same caller's keeps them.
    decoder_fixture g;
    send_superframe(g, block_of(lc_bytes(0, 9, 2001)));
    send_superframe(g, block_of(bytes_of(gps_info_lc(22.5, 11.25, 1))));
    send_superframe(g, block_of(lc_bytes(0, 9, 2001)));
    send_superframe(g, block_of(lc_bytes(0, 9, 3003)));
    EXPECT_EQ(g.metadata(),
              "protocol:DMR;slot:1;type:group;source:2001;target:9;\n"
              "protocol:DMR;slot:1;type:group;source:2001;target:9;lat:22.500000;lon:11.250000;\n"
              "protocol:DMR;slot:1;type:group;source:2001;target:9;lat:22.500000;lon:11.250000;\n"
              "protocol:DMR;slot:1;type:group;source:3003;target:9;\n");
}

TEST(embedded_lc, other_feature_sets_keep_the_unknown_opcode_text) {
    decoder_fixture f;
    std::vector<uint8_t> lc = bytes_of(gps_info_lc(1.0, 1.0, 0));
    lc[1] = 0x10;  // a maker's feature set
    send_superframe(f, block_of(lc));
    EXPECT_EQ(f.diagnostics(), "decoding embedded signalling for slot 1  unknown flc opcode: 8 ");
    EXPECT_EQ(f.metadata(), "");
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
