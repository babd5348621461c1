// SPDX-License-Identifier: MIT
// Reading tessavox's lines back, from lines the decoder wrote.

#include "dmr_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder_fixture.h"

namespace {

using namespace dmr_encode;

std::vector<dmr_line> lines_of(const std::string &meta) {
    std::vector<dmr_line> out;
    std::size_t at = 0;
    while (at < meta.size()) {
        const std::size_t end = meta.find('\n', at);
        out.push_back(read_dmr_line(std::string_view(meta).substr(at, end - at + 1)));
        at = end + 1;
    }
    return out;
}

TEST(dmr_lines, every_kind_the_decoder_writes) {
    call c;
    c.service_options = 0x80;
    data_message m;
    m.format = data_format_defined_short;
    m.short_format = 0x13;
    encode_text("a;b", "utf8", m.payload);
    std::vector<burst> slot0 = {csbk_burst(burst_sync::bs_data, 1, make_addressed_csbk(0x04, 0, 77, 88))};
    data_message_bursts(m, burst_sync::bs_data, 1, slot0);
    for (const burst &b : call_bursts(c, test_pattern_frames(18))) slot0.push_back(b);
    decoder_fixture f;
    f.state.report_presence = true;
    f.feed(complete_channel(slot0, {}));
    const std::vector<dmr_line> lines = lines_of(f.metadata());
    int csbks = 0, messages = 0, states = 0, presence = 0;
    for (const dmr_line &l : lines) {
        ASSERT_NE(l.kind, dmr_line_kind::not_dmr);
        if (l.kind == dmr_line_kind::csbk) {
            ++csbks;
            EXPECT_EQ(l.slot, 0);
            EXPECT_EQ(l.number("csbk"), 4);
            EXPECT_EQ(*l.find("name"), "UU_V_Req");
            EXPECT_EQ(l.number("source"), 88);
            EXPECT_EQ(l.number("target"), 77);
        } else if (l.kind == dmr_line_kind::data_message) {
            ++messages;
            EXPECT_EQ(*l.find("data"), "defined_short");
            EXPECT_EQ(*l.find("text"), "a;b");  // unescaped
        } else if (l.kind == dmr_line_kind::slot_state) {
            ++states;
            if (l.find("type")) {
                EXPECT_EQ(l.number("emergency"), 1);
            }
        } else if (l.kind == dmr_line_kind::presence) {
            ++presence;
        }
    }
    EXPECT_EQ(csbks, 1);
    EXPECT_EQ(messages, 1);
    EXPECT_GE(states, 3);
    EXPECT_GE(presence, 1);
}

TEST(dmr_lines, malformed_lines_are_not_dmr) {
    for (const char *bad : {"", "protocol:YSF;mode:DN;", "protocol:DMR;slot:2;", "protocol:DMR;slot:0;sync",
                            "protocol:DMR;slot:;x:1;", "protocol:DMR;slot:1;a;b:c;"})
        EXPECT_EQ(read_dmr_line(bad).kind, dmr_line_kind::not_dmr) << bad;
    const dmr_line l = read_dmr_line("protocol:DMR;slot:1;\n");
    EXPECT_EQ(l.kind, dmr_line_kind::slot_state);
    EXPECT_TRUE(l.fields.empty());
    EXPECT_EQ(read_dmr_line("protocol:DMR;slot:0;source:x1;").number("source", -1), -1);
    EXPECT_EQ(*read_dmr_line("protocol:DMR;slot:0;alias:\\x0A\\x3;").find("alias"), "\n\\x3");
}

}  // namespace
