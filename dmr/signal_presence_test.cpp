// SPDX-License-Identifier: MIT
// Signal presence lines: station kind, colour code and what each slot
// carries, reported on change, silent for a signal that nothing checks.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "decoder_fixture.h"

namespace {

using namespace dmr_encode;

std::vector<std::string> presence_lines(const std::string &meta, int slot) {
    std::vector<std::string> out;
    const std::string head = "protocol:DMR;slot:" + std::to_string(slot) + ";signal:";
    for (std::size_t at = meta.find(head); at != std::string::npos; at = meta.find(head, at + 1))
        out.push_back(meta.substr(at + head.size() - 7, meta.find('\n', at) - at - head.size() + 7));
    return out;
}

std::vector<burst> concat(std::vector<std::vector<burst>> parts) {
    std::vector<burst> out;
    for (auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(signal_presence, station_colour_code_and_what_each_slot_carries) {
    struct presence_case {
        const char *name;
        bool mobile;
        int colour_code;
        std::vector<std::string> slot0;
    };
    const presence_case cases[] = {
        {"base station call between idle bursts",
         false,
         1,
         {"signal:BS;cc:1;carries:idle;", "signal:BS;cc:1;carries:voice;", "signal:BS;cc:1;carries:idle;"}},
        {"colour code 12",
         false,
         12,
         {"signal:BS;cc:12;carries:idle;", "signal:BS;cc:12;carries:voice;", "signal:BS;cc:12;carries:idle;"}},
        {"mobile station",
         true,
         3,
         {"signal:MS;cc:3;carries:idle;", "signal:MS;cc:3;carries:voice;", "signal:MS;cc:3;carries:idle;"}},
    };
    for (const presence_case &k : cases) {
        SCOPED_TRACE(k.name);
        call c;
        c.mobile = k.mobile;
        c.colour_code = k.colour_code;
        const burst_sync idle_sync = k.mobile ? burst_sync::ms_data : burst_sync::bs_data;
        const std::vector<burst> slot0 =
            concat({idle_bursts(4, idle_sync, k.colour_code), call_bursts(c, test_pattern_frames(18)),
                    idle_bursts(4, idle_sync, k.colour_code)});
        decoder_fixture f;
        f.state.report_presence = true;
        f.feed(complete_channel(slot0, idle_bursts(static_cast<int>(slot0.size()), idle_sync, k.colour_code)));
        EXPECT_EQ(presence_lines(f.metadata(), 0), k.slot0) << f.metadata();
        EXPECT_EQ(presence_lines(f.metadata(), 1).size(), 1u) << f.metadata();
    }
}

TEST(signal_presence, off_unless_asked_for) {
    call c;
    decoder_fixture f;
    f.feed(complete_channel(call_bursts(c, test_pattern_frames(18)), {}));
    EXPECT_EQ(f.metadata().find("signal:"), std::string::npos);
    EXPECT_NE(f.metadata().find("sync:voice"), std::string::npos);
}

TEST(signal_presence, control_channel_and_lost_sync) {
    // CSBKs alternating with idle bursts: one line for control, not one per
    // burst; the carrier's end says signal:none for both slots.
    std::vector<burst> slot0 = idle_bursts(3, burst_sync::bs_data, 1);
    for (int i = 0; i < 6; ++i) {
        slot0.push_back(csbk_burst(burst_sync::bs_data, 1, make_addressed_csbk(0x38, 0, 1, 2)));
        slot0.push_back(csbk_burst(burst_sync::bs_data, 1, make_addressed_csbk(0x38, 0, 1, 2)));
        slot0.push_back(idle_burst(burst_sync::bs_data, 1));
    }
    decoder_fixture f;
    f.state.report_presence = true;
    std::vector<uint8_t> s =
        complete_channel(slot0, idle_bursts(static_cast<int>(slot0.size()), burst_sync::bs_data, 1));
    std::mt19937 rng(5);
    for (int i = 0; i < 144 * 40; ++i) s.push_back(static_cast<uint8_t>(rng() & 3));  // the carrier goes
    f.feed(s);
    EXPECT_EQ(presence_lines(f.metadata(), 0),
              (std::vector<std::string>{"signal:BS;cc:1;carries:idle;", "signal:BS;cc:1;carries:control;",
                                        "signal:BS;cc:1;carries:idle;", "signal:none;"}))
        << f.metadata();
    EXPECT_EQ(presence_lines(f.metadata(), 1).back(), "signal:none;");
}

}  // namespace
