// SPDX-License-Identifier: MIT
// Privacy and emergency of a call: taken from the voice LC's service
// options, the PI header and the EMB's PI bit, and only from words whose
// checks passed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder_fixture.h"

namespace {

using namespace dmr_encode;

std::string run(const std::vector<burst> &slot0) {
    decoder_fixture f;
    f.feed(complete_channel(slot0, {}));
    return f.metadata();
}

std::string last_voice_line(const std::string &meta) {
    const std::size_t at = meta.rfind("protocol:DMR;slot:0;sync:voice;");
    if (at == std::string::npos) return "";
    return meta.substr(at, meta.find('\n', at) - at);
}

TEST(call_privacy, service_options_pi_header_and_emb) {
    struct privacy_case {
        const char *name;
        uint8_t service_options;
        bool encrypted_extras;
        std::string tail;  // what ends the call's voice lines
    };
    const privacy_case cases[] = {
        {"clear call", 0x00, false, "target:9;"},
        {"emergency", 0x80, false, "target:9;emergency:1;"},
        {"privacy option only", 0x40, false, "target:9;encrypted:1;"},
        {"broadcast, open voice call mode, priority 2", 0x0E, false, "target:9;broadcast:1;ovcm:1;priority:2;"},
        {"PI header and EMB PI, no option", 0x00, true, "target:9;encrypted:1;algorithm:33;key_id:7;"},
        {"everything", 0xC1, true, "target:9;encrypted:1;algorithm:33;key_id:7;emergency:1;priority:1;"},
    };
    for (const privacy_case &k : cases) {
        SCOPED_TRACE(k.name);
        call c;
        c.service_options = k.service_options;
        call_extras extras;
        extras.encrypted = k.encrypted_extras;
        extras.pi.algorithm = 33;
        extras.pi.key_id = 7;
        const std::string meta = run(call_bursts(c, test_pattern_frames(36), extras));
        const std::string line = last_voice_line(meta);
        ASSERT_GE(line.size(), k.tail.size()) << meta;
        EXPECT_EQ(line.substr(line.size() - k.tail.size()), k.tail) << meta;
        // The terminator ends the call and its flags.
        EXPECT_EQ(meta.substr(meta.size() - 31), "protocol:DMR;slot:0;sync:data;\n");
    }
}

TEST(call_privacy, a_few_pi_bits_are_not_enough_and_bad_checks_mark_nothing) {
    // A clear call whose bursts are built by hand, some EMBs with PI set (as
    // miscorrected EMBs would be).
    call c;
    c.lc_headers = 1;
    const std::vector<burst> clear = call_bursts(c, test_pattern_frames(18));
    auto with_pi = [&](std::vector<int> bursts) {
        std::vector<burst> b = clear;
        for (int i : bursts) {
            // Burst i of the superframe (1..5 = B..F); header at 0, A at 1.
            uint8_t lc_block[16];
            uint8_t lc[9];
            full_lc_bytes(call_lc(c), lc);
            embedded_lc_encode(lc, lc_block);
            std::vector<burst> sf;
            uint8_t bytes[216] = {};
            append_voice_superframe(sf, burst_sync::bs_voice, 1, lc_block, bytes, 1);
            b[static_cast<std::size_t>(1 + i)] = sf[static_cast<std::size_t>(i)];
        }
        return b;
    };
    // Superframe bursts B..F are 1..5 here, each with an EMB: PI in one, or
    // in three of five, is not enough; in four of five it is.
    EXPECT_EQ(run(with_pi({5})).find("encrypted"), std::string::npos);
    EXPECT_EQ(run(with_pi({3, 4, 5})).find("encrypted"), std::string::npos);
    EXPECT_NE(run(with_pi({2, 3, 4, 5})).find("encrypted:1;"), std::string::npos);

    // A PI header with a wrong CRC is no PI header.
    std::vector<burst> b = clear;
    std::array<uint8_t, 12> pi = pi_header_bytes(privacy{}, 9);
    pi[11] ^= 0x01;
    b.insert(b.begin() + 1, bptc_data_burst(burst_sync::bs_data, 1, 0, pi.data()));
    decoder_fixture f;
    f.feed(complete_channel(b, {}));
    EXPECT_EQ(f.metadata().find("encrypted"), std::string::npos);
    EXPECT_NE(f.diagnostics().find("unhandled data_type: 0\n"), std::string::npos);
}

}  // namespace
