// SPDX-License-Identifier: MIT
// The logic between the decoders' lines and zelvane's events: calls from
// metadata lines, pages from page lines, their merging and their JSON form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "call_tracker.h"
#include "event.h"
#include "line_fields.h"
#include "page_merge.h"

namespace {

// The events a sequence of timed lines gives, as their JSON lines.
std::vector<std::string> track(call_tracker &tracker, const std::vector<std::pair<double, std::string>> &lines) {
    std::vector<std::string> out;
    for (const auto &[time, line] : lines)
        for (const call_event &e : track_line(tracker, line, time)) out.push_back(event_json(e));
    return out;
}

call_tracker dmr_tracker(int slot) {
    call_tracker t;
    t.protocol = event_protocol::dmr;
    t.slot = slot;
    return t;
}

TEST(CallTracker, DmrCallStartsWithIdsUpdatesOnChangeAndEndsAtTerminator) {
    call_tracker t = dmr_tracker(1);
    auto events = track(t, {
                               {0.10, "protocol:DMR;slot:1;sync:voice;"},  // wrong polarity looks like this too
                               {0.20, "protocol:DMR;slot:0;sync:voice;type:group;source:7;target:8;"},  // other slot
                               {0.46, "protocol:DMR;slot:1;sync:voice;type:group;source:2001;target:9;"},
                               {0.82, "protocol:DMR;slot:1;sync:voice;type:group;source:2001;target:9;"},  // repeat
                               {1.18, "protocol:DMR;slot:1;sync:voice;type:group;source:2002;target:9;alias:A\\x3BB;"},
                               {1.50, "protocol:DMR;slot:1;sync:data;"},
                               {1.60, "protocol:DMR;slot:1;"},
                           });
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0],
              "{\"protocol\":\"DMR\",\"event\":\"call\",\"time\":0.460,\"slot\":1,\"type\":\"group\",\"source\":2001,"
              "\"target\":9}\n");
    EXPECT_EQ(events[1],
              "{\"protocol\":\"DMR\",\"event\":\"call\",\"time\":1.180,\"slot\":1,\"type\":\"group\",\"source\":2002,"
              "\"target\":9,\"alias\":\"A;B\"}\n");
    EXPECT_EQ(
        events[2],
        "{\"protocol\":\"DMR\",\"event\":\"call-end\",\"time\":1.500,\"slot\":1,\"type\":\"group\",\"source\":2002,"
        "\"target\":9,\"alias\":\"A;B\",\"duration\":1.040}\n");
}

TEST(CallTracker, SilenceAndEndOfInputEndACall) {
    call_tracker t = dmr_tracker(0);
    track(t, {{2.0, "protocol:DMR;slot:0;sync:voice;type:direct;source:5;target:6;"}});
    EXPECT_FALSE(end_call_if_silent(t, 2.0 + call_silence_seconds - 0.01, false));
    auto end = end_call_if_silent(t, 2.0 + call_silence_seconds, false);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, event_kind::call_end);
    EXPECT_DOUBLE_EQ(end->time, 2.0);               // the call ended with its last line
    EXPECT_FALSE(end_call_if_silent(t, 10, true));  // nothing left to end

    track(t, {{3.0, "protocol:DMR;slot:0;sync:voice;type:direct;source:5;target:6;"}});
    auto forced = end_call_if_silent(t, 3.25, true);
    ASSERT_TRUE(forced);
    EXPECT_DOUBLE_EQ(forced->duration, 0.25);
}

TEST(CallTracker, YsfCallSignsTrimmedPositionKeptAndTerminatorEnds) {
    call_tracker t;
    t.protocol = event_protocol::ysf;
    auto events = track(t, {
                               {0.1, "protocol:YSF;source:N0CALL    ;target:ALL       ;"},  // header: no mode yet
                               {0.2, "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;"},
                               {0.3,
                                "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;up:N0RPT     ;"
                                "lat:51.500000;lon:-0.125000;radio:FT-70D;"},
                               {0.4, "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;up:N0RPT     ;"},
                               {0.5, "protocol:YSF;"},
                           });
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(
        events[0],
        "{\"protocol\":\"YSF\",\"event\":\"call\",\"time\":0.200,\"mode\":\"DN\",\"source\":\"N0CALL\",\"target\":"
        "\"ALL\",\"up\":\"\",\"down\":\"\"}\n");
    EXPECT_EQ(
        events[1],
        "{\"protocol\":\"YSF\",\"event\":\"call\",\"time\":0.300,\"mode\":\"DN\",\"source\":\"N0CALL\",\"target\":"
        "\"ALL\",\"up\":\"N0RPT\",\"down\":\"\",\"radio\":\"FT-70D\",\"lat\":51.500000,\"lon\":-0.125000}\n");
    EXPECT_NE(events[2].find("\"event\":\"call-end\",\"time\":0.500"), std::string::npos);
    EXPECT_NE(events[2].find("\"duration\":0.300}"), std::string::npos);
}

TEST(CallTracker, GarbageLinesMakeNoCall) {
    call_tracker t = dmr_tracker(0);
    auto events = track(t, {{0, ""},
                            {0, ";;;:::"},
                            {0, "protocol:YSF;mode:DN;source:X;"},
                            {0, "protocol:DMR;slot:0x;type:group;"},
                            {0, "protocol:DMR;type:group;source:1;"},
                            {0, "protocol:DMR;slot:0;type:bogus;source:abc;target:;"}});
    EXPECT_TRUE(events.empty());
}

TEST(PageLines, FieldsFunctionAndTextWithSemicolons) {
    auto page = parse_page_line("address:273040;function:3;message:a;b\\x0Dc", 512, 1.5);
    ASSERT_TRUE(page);
    EXPECT_EQ(
        event_json(*page),
        "{\"protocol\":\"POCSAG\",\"event\":\"page\",\"time\":1.500,\"baud\":512,\"address\":273040,\"function\":3,"
        "\"message\":\"a;b\\rc\"}\n");
    auto tone = parse_page_line("address:671968;function:1;message:", 1200, 0);
    ASSERT_TRUE(tone);
    EXPECT_EQ(tone->message, "");
    EXPECT_EQ(tone->function, 1);
    auto plain = parse_page_line("address:10;message:12345", 1200, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->function, -1);
    for (const char *bad : {"", "message:x", "address:x;message:y", "address:5;function:7;message:", "address:5;",
                            "address:99999999;message:"})
        EXPECT_FALSE(parse_page_line(bad, 1200, 0)) << bad;
}

TEST(PageMerge, SameAddressAndTextWithinASecondIsOnePage) {
    page_merge merge;
    auto page = [](long address, const char *text, double time, int baud) {
        call_event p;
        p.protocol = event_protocol::pocsag;
        p.kind = event_kind::page;
        p.address = address;
        p.message = text;
        p.time = time;
        p.baud = baud;
        return p;
    };
    EXPECT_TRUE(accept_page(merge, page(1234, "Hello", 5.0, 1200)));
    EXPECT_FALSE(accept_page(merge, page(1234, "Hello", 5.4, 1200)));  // the other polarity's copy
    EXPECT_FALSE(accept_page(merge, page(1234, "Hello", 4.2, 2400)));  // a chain that reports late, earlier in time
    EXPECT_TRUE(accept_page(merge, page(1234, "Hello!", 5.5, 1200)));  // other text
    EXPECT_TRUE(accept_page(merge, page(1235, "Hello", 5.5, 1200)));   // other address
    EXPECT_TRUE(accept_page(merge, page(1234, "Hello", 6.6, 1200)));   // sent again
}

TEST(ReceivedText, EscapesOfTheDecodersUndoneOthersKept) {
    EXPECT_EQ(unescape_received("a\\x3Bb\\x0A\\x0d\\x1B"), "a;b\n\r\x1b");
    EXPECT_EQ(unescape_received("\\x41\\x4\\"), "\\x41\\x4\\");  // not an escape the decoders write
    EXPECT_EQ(trim_trailing_spaces("N0CALL    "), "N0CALL");
    EXPECT_EQ(event_text(*parse_page_line("address:1;message:\x1b[2J", 1200, 0)).find('\x1b'), std::string::npos);
}

}  // namespace
