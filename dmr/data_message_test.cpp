// SPDX-License-Identifier: MIT
// Data messages: the rate 3/4 trellis by hand and through errors, the IPv4
// header check against a worked example, short data text in each encoding,
// and whole messages through the decoder, damaged ones dropped whole.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data_payload.h"
#include "decoder_fixture.h"
#include "trellis_3_4.h"

namespace {

using namespace dmr_encode;

TEST(trellis_3_4, all_zero_data_by_hand) {
    // Tribit 0 from state 0 sends point 0, the symbols +1 and -1: dibits 00
    // and 10. Interleaving keeps the pairs together, so every byte of the
    // 196 bits is 0010 0010 and the last one's four bits 0010.
    const uint8_t zeros[18] = {};
    uint8_t bits[25];
    trellis_3_4_encode(zeros, bits);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(bits[i], 0x22) << i;
    EXPECT_EQ(bits[24], 0x20);
    uint8_t out[18];
    EXPECT_EQ(decode_trellis_3_4(bits, out), 0);
    EXPECT_EQ(std::memcmp(out, zeros, 18), 0);
}

TEST(trellis_3_4, first_points_by_hand) {
    // Data 0b001'010'00...: tribit 1 from state 0 is point 8 (-3, +3: dibits
    // 11 01), then tribit 2 from state 1 is point 2 (+3, -3: dibits 01 11).
    // Deinterleaved dibits 0, 1 go to burst dibits 0, 1; dibits 2, 3 to 8, 9.
    uint8_t data[18] = {0x28};
    uint8_t bits[25];
    trellis_3_4_encode(data, bits);
    EXPECT_EQ(bits[0] >> 4, 0xD);  // burst dibits 0, 1: 11 01
    EXPECT_EQ(bits[2] >> 4, 0x7);  // burst dibits 8, 9: 01 11
}

TEST(trellis_3_4, corrects_scattered_errors) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 50; ++trial) {
        uint8_t data[18];
        for (uint8_t &b : data) b = static_cast<uint8_t>(rng());
        uint8_t bits[25];
        trellis_3_4_encode(data, bits);
        // One wrong bit anywhere, and a second one far from it.
        const int first = trial * 3 % 196, second = (first + 98) % 196;
        for (int bit : {first, second}) bits[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        uint8_t out[18];
        ASSERT_GE(decode_trellis_3_4(bits, out), 0);
        EXPECT_EQ(std::memcmp(out, data, 18), 0) << trial;
    }
    // The trellis alone does not tell noise from data: the message CRC does.
}

TEST(data_payload, ipv4_header_check_of_a_worked_example) {
    // The usual worked example of the IPv4 header checksum: 4500 0073 0000
    // 4000 4011 B861 C0A8 0001 C0A8 00C7, checksum B861.
    std::vector<uint8_t> p = {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                              0xB8, 0x61, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};
    p.resize(0x73, 0);
    p[24] = 0;
    p[25] = 0x5F;  // UDP length: the rest of the packet
    data_payload_view v = read_ip_payload(p.data(), p.size());
    EXPECT_TRUE(v.ipv4);
    EXPECT_TRUE(v.udp);
    EXPECT_EQ(v.ip_target[3], 0xC7);
    p[11] ^= 1;
    EXPECT_FALSE(read_ip_payload(p.data(), p.size()).ipv4);
    p[11] ^= 1;
    EXPECT_FALSE(read_ip_payload(p.data(), 0x72).ipv4);  // shorter than its total length
}

TEST(data_payload, text_in_each_encoding) {
    struct text_case {
        std::vector<uint8_t> bytes;
        text_encoding encoding;
        std::string utf8;
    };
    const text_case cases[] = {
        {{'G', 0xFC, 'n', 't', 'e', 'r', 0, 0}, text_encoding::iso8859_1, "G\xC3\xBCnter"},
        {{'a', 0xC3, 0xA9, 0xE2, 0x9C, 0x93, 0xFF}, text_encoding::utf8, "a\xC3\xA9\xE2\x9C\x93"},
        {{0x00, 'H', 0x00, 'i', 0xD8, 0x3D, 0xDE, 0x00, 0, 0}, text_encoding::utf16be, "Hi\xF0\x9F\x98\x80"},
        {{'H', 0x00, 'i', 0x00, 0x1B, 0x00}, text_encoding::utf16le, "Hi\xEF\xBF\xBD"},
        {{'o', 'k', 0xC3}, text_encoding::utf8, "ok\xEF\xBF\xBD"},  // cut sequence
        {{'a', 0x07, 'b'},
         text_encoding::iso8859_1,
         "a\xEF\xBF\xBD"
         "b"},
    };
    for (const text_case &k : cases) EXPECT_EQ(text_to_utf8(k.bytes.data(), k.bytes.size(), k.encoding), k.utf8);
}

TEST(data_payload, any_bytes_stay_within_their_bounds) {
    // Random payloads, and IPv4 headers made valid around random lengths and
    // ports: every read stays inside the message, every text is valid UTF-8
    // of bounded length.
    std::mt19937 rng(3);
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<uint8_t> p(rng() % 120);
        for (uint8_t &b : p) b = static_cast<uint8_t>(rng());
        if (p.size() >= 28 && trial % 2) {
            p[0] = 0x45;
            p[9] = 17;
            p[10] = p[11] = 0;
            const std::size_t total = rng() % (p.size() + 1);
            p[2] = static_cast<uint8_t>(total >> 8);
            p[3] = static_cast<uint8_t>(total);
            p[22] = static_cast<uint8_t>((trial % 4) ? 0x13 : 0x0F);
            p[23] = static_cast<uint8_t>((trial % 4) ? 0x98 : 0xA1);
            uint32_t sum = 0;
            for (int i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
            while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
            p[10] = static_cast<uint8_t>(~sum >> 8);
            p[11] = static_cast<uint8_t>(~sum);
        }
        const data_payload_view v = read_ip_payload(p.data(), p.size());
        if (v.has_position) {
            EXPECT_LE(std::abs(v.latitude), 90.0);
            EXPECT_LE(std::abs(v.longitude), 180.0);
        }
        for (text_encoding e : {text_encoding::iso8859_1, text_encoding::utf8, text_encoding::utf16be,
                                text_encoding::utf16le, text_encoding::ascii7}) {
            const std::string t = text_to_utf8(p.data(), p.size(), e, 64);
            EXPECT_LE(t.size(), 64u);
            // Well-formed: lead bytes followed by the right number of
            // continuation bytes.
            for (std::size_t i = 0; i < t.size();) {
                const uint8_t lead = static_cast<uint8_t>(t[i]);
                const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
                ASSERT_TRUE(lead < 0x80 || lead >= 0xC2);
                ASSERT_LE(i + static_cast<std::size_t>(extra), t.size() - 1);
                for (int k = 1; k <= extra; ++k) ASSERT_EQ(static_cast<uint8_t>(t[i + k]) & 0xC0, 0x80);
                i += static_cast<std::size_t>(extra) + 1;
            }
        }
    }
}

// A channel of data messages in slot 0 and idle bursts in slot 1.
std::vector<uint8_t> data_channel(const std::vector<std::vector<burst>> &messages) {
    std::vector<burst> slot0;
    for (const auto &m : messages) slot0.insert(slot0.end(), m.begin(), m.end());
    slot0.push_back(idle_burst(burst_sync::bs_data, 1));
    return complete_channel(slot0, {});
}

std::vector<burst> bursts_of(const data_message &m) {
    std::vector<burst> b;
    EXPECT_TRUE(data_message_bursts(m, burst_sync::bs_data, 1, b));
    return b;
}

std::vector<std::string> data_lines(const std::string &meta) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < meta.size()) {
        std::size_t end = meta.find('\n', at);
        const std::string line = meta.substr(at, end - at);
        if (line.find(";data") != std::string::npos) out.push_back(line);
        at = end + 1;
    }
    return out;
}

TEST(data_messages, text_and_location_at_every_rate) {
    for (int rate : {7, 8, 10})
        for (int format : {data_format_unconfirmed, data_format_confirmed}) {
            SCOPED_TRACE(rate * 100 + format);
            data_message text;
            text.format = format;
            text.data_type = rate;
            text.payload = udp_packet(2001, 9, false, 5016,
                                      text_message_payload("Gr\xC3\xBC\xC3\x9F"
                                                           "e;\n"));
            data_message where = text;
            where.payload = udp_packet(2001, 9, false, 4001, location_payload(-33.856784, 151.215297));
            decoder_fixture f;
            f.feed(data_channel({bursts_of(text), bursts_of(where)}));
            const std::vector<std::string> lines = data_lines(f.metadata());
            ASSERT_EQ(lines.size(), 2u) << f.metadata();
            const std::string name = format == data_format_confirmed ? "confirmed" : "unconfirmed";
            EXPECT_EQ(lines[0].find("protocol:DMR;slot:0;data:" + name + ";sap:4;source:2001;target:9;group:0;bytes:" +
                                    std::to_string(text.payload.size()) + ";payload:4500"),
                      0u)
                << lines[0];
            EXPECT_NE(lines[0].find(";ip_source:12.0.7.209;ip_target:12.0.0.9;udp_source:5016;udp_target:5016;"
                                    "text:Gr\xC3\xBC\xC3\x9F"
                                    "e\\x3B\\x0A;"),
                      std::string::npos)
                << lines[0];
            EXPECT_NE(lines[1].find(";udp_target:4001;lat:-33.856784;lon:151.215297;"), std::string::npos) << lines[1];
        }
}

TEST(data_messages, defined_short_data_text) {
    struct short_case {
        const char *encoding;
        int format;
    };
    for (const short_case &k : {short_case{"iso8859", 0x03}, short_case{"utf8", 0x13}, short_case{"utf16be", 0x15},
                                short_case{"utf16le", 0x16}}) {
        SCOPED_TRACE(k.encoding);
        data_message m;
        m.format = data_format_defined_short;
        m.sap = 10;
        m.short_format = k.format;
        m.group = true;
        ASSERT_TRUE(encode_text("Caf\xC3\xA9 ok", k.encoding, m.payload));
        decoder_fixture f;
        f.feed(data_channel({bursts_of(m)}));
        const std::vector<std::string> lines = data_lines(f.metadata());
        ASSERT_EQ(lines.size(), 1u) << f.metadata();
        EXPECT_NE(lines[0].find("data:defined_short;sap:10;source:2001;target:9;group:1;"), std::string::npos);
        EXPECT_NE(lines[0].find(";text:Caf\xC3\xA9 ok;"), std::string::npos) << lines[0];
    }
}

TEST(data_messages, damaged_messages_are_dropped_whole_and_counted) {
    data_message m;
    m.payload = udp_packet(2001, 9, false, 5016, text_message_payload("never shown"));
    const std::vector<burst> good = bursts_of(m);
    ASSERT_GE(good.size(), 4u);
    data_message confirmed = m;
    confirmed.format = data_format_confirmed;
    std::vector<burst> bad_block = bursts_of(confirmed);
    data_message three_quarter = m;
    three_quarter.data_type = 8;

    struct damage_case {
        const char *name;
        std::vector<std::vector<burst>> messages;
        const char *reason;
    };
    std::vector<burst> lost = good;
    lost.erase(lost.begin() + 2);  // a block missing: the idle burst comes where it was due
    std::vector<burst> cut_by_header = good;
    cut_by_header.pop_back();
    // A wrong message CRC: the last block's data changed (its BPTC re-encoded
    // around the change, so only the CRC-32 can see it).
    data_message altered = m;
    std::vector<burst> wrong_crc = bursts_of(m);
    {
        altered.payload[40] ^= 0x01;
        std::vector<burst> other = bursts_of(altered);
        // Same length, so the same header: take the altered blocks and the
        // original last block, which holds the original CRC.
        for (std::size_t i = 1; i + 1 < wrong_crc.size(); ++i) wrong_crc[i] = other[i];
    }
    // A confirmed block whose CRC-9 fails: block 2 with serial 2 and a CRC-9
    // that belongs to other data (its BPTC intact).
    {
        uint8_t block[12] = {2 << 1, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        const uint16_t crc9 = block_crc9(block + 2, 10, 2, crc9_mask_half);
        block[1] = static_cast<uint8_t>(crc9 ^ 0x01);
        block[0] = static_cast<uint8_t>(block[0] | (crc9 >> 8));
        bad_block[3] = bptc_data_burst(burst_sync::bs_data, 1, data_type_rate_half_value, block);
    }
    const damage_case cases[] = {
        {"lost block", {lost}, "lost_block"},
        {"next header where a block was due", {cut_by_header, good}, "lost_block"},
        {"wrong message CRC", {wrong_crc}, "message_check"},
        {"wrong CRC-9", {bad_block}, "block_check"},
    };
    for (const damage_case &k : cases) {
        SCOPED_TRACE(k.name);
        decoder_fixture f;
        f.feed(data_channel(k.messages));
        const std::string meta = f.metadata();
        EXPECT_NE(meta.find(std::string("protocol:DMR;slot:0;data_dropped:") + k.reason + ";failures:1;"),
                  std::string::npos)
            << meta;
        if (k.messages.size() == 1) {
            EXPECT_EQ(meta.find("text:"), std::string::npos) << meta;
            EXPECT_EQ(meta.find(";data:"), std::string::npos) << meta;
        } else {
            EXPECT_EQ(data_lines(meta).size(), 2u) << meta;  // the drop and the whole second message
        }
    }
}

TEST(data_messages, random_bursts_between_real_syncs_report_nothing_false) {
    // Timeslots of random symbols whose centre fields hold real data and
    // voice syncs or random EMBs: the decoder stays synchronised and reads
    // slot types, BPTC blocks, EMBs and embedded LCs from noise. No CSBK,
    // data message, text, position, encryption or emergency may come of it.
    for (unsigned seed : {2024u, 7u, 99u, 5u, 11u}) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> s;
        const uint64_t syncs[2] = {0xDFF57D75DF5D, 0x755FD7DF75F7};
        for (int t = 0; t < 20000; ++t) {
            for (int i = 0; i < 66; ++i) s.push_back(static_cast<uint8_t>(rng() & 3));
            const unsigned kind = rng() % 10;
            for (int i = 0; i < 24; ++i)
                s.push_back(kind < 7 ? static_cast<uint8_t>((syncs[kind < 5 ? 0 : 1] >> (46 - 2 * i)) & 3)
                                     : static_cast<uint8_t>(rng() & 3));
            for (int i = 0; i < 54; ++i) s.push_back(static_cast<uint8_t>(rng() & 3));
        }
        decoder_fixture f;
        f.state.report_presence = true;
        f.feed(s);
        const std::string meta = f.metadata();
        for (const char *key : {";csbk:", ";data:", "data_dropped", "text:", "lat:", "encrypted", "emergency"})
            EXPECT_EQ(meta.find(key), std::string::npos) << key << " seed " << seed;
    }
}

}  // namespace
