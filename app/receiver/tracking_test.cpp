// SPDX-License-Identifier: MIT
// The logic between the decoders' lines and zelvane's events: calls from
// metadata lines, pages from page lines, their merging and their JSON form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "call_tracker.h"
#include "event.h"
#include "event_forms.h"
#include "line_fields.h"
#include "page_merge.h"
#include "received_text.h"

namespace {

// The events a sequence of timed lines gives, as their JSON lines.
std::vector<std::string> track(call_tracker &tracker, const std::vector<std::pair<double, std::string>> &lines) {
    std::vector<std::string> out;
    for (const auto &[time, line] : lines)
        for (const event &e : track_line(tracker, line, time)) out.push_back(event_json(e) + "\n");
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
              "{\"protocol\":\"DMR\",\"event\":\"call\",\"time\":0.460,\"slot\":2,\"type\":\"group\",\"source\":2001,"
              "\"target\":9}\n");
    EXPECT_EQ(events[1],
              "{\"protocol\":\"DMR\",\"event\":\"call\",\"time\":1.180,\"slot\":2,\"type\":\"group\",\"source\":2002,"
              "\"target\":9,\"alias\":\"A;B\"}\n");
    EXPECT_EQ(
        events[2],
        "{\"protocol\":\"DMR\",\"event\":\"call-end\",\"time\":1.500,\"slot\":2,\"type\":\"group\",\"source\":2002,"
        "\"target\":9,\"alias\":\"A;B\",\"duration\":1.040}\n");
}

TEST(CallTracker, SilenceAndEndOfInputEndACall) {
    call_tracker t = dmr_tracker(0);
    track(t, {{2.0, "protocol:DMR;slot:0;sync:voice;type:direct;source:5;target:6;"}});
    EXPECT_TRUE(track_time(t, 2.0 + call_silence_seconds - 0.01, false).empty());
    auto end = track_time(t, 2.0 + call_silence_seconds, false);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0].kind, event_kind::call_end);
    // Stamped when the silence decided it, lasting to the call's last line.
    EXPECT_DOUBLE_EQ(end[0].time, 2.0 + call_silence_seconds);
    EXPECT_DOUBLE_EQ(end[0].duration, 0.0);
    EXPECT_TRUE(track_time(t, 10, true).empty());  // nothing left to end

    track(t, {{3.0, "protocol:DMR;slot:0;sync:voice;type:direct;source:5;target:6;"}});
    auto forced = track_time(t, 3.25, true);
    ASSERT_EQ(forced.size(), 1u);
    EXPECT_DOUBLE_EQ(forced[0].duration, 0.25);
}

// A call is announced once its source is known: a DMR line with the target
// alone waits for the source.
TEST(CallTracker, DmrCallWaitsForItsSource) {
    call_tracker t = dmr_tracker(0);
    auto events = track(t, {{0.1, "protocol:DMR;slot:0;sync:voice;type:group;target:9;"},
                            {0.4, "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;"}});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("\"time\":0.400,\"slot\":1,\"type\":\"group\",\"source\":2001"), std::string::npos)
        << events[0];
}

// System Fusion in V/D mode 2 sends target, source, down and up link in
// successive frames: the first event waits for them (a superframe at most)
// and carries them all; later changes are updates.
TEST(CallTracker, YsfCallAnnouncedWithTheFieldsOfItsSuperframe) {
    call_tracker t;
    t.protocol = event_protocol::ysf;
    auto events = track(t, {
                               {0.1, "protocol:YSF;source:N0CALL    ;target:ALL       ;"},  // header: no mode yet
                               {0.2, "protocol:YSF;mode:DN;target:ALL       ;"},            // no source yet
                               {0.3, "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;"},
                               {0.4, "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;down:N0RPT     ;"},
                               {0.5,
                                "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;down:N0RPT     ;up:N0RPT     "
                                ";"},
                               {0.6,
                                "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;down:N0RPT     ;up:N0RPT     "
                                ";lat:51.500000;lon:-0.125000;radio:FT-70D;"},
                               {0.7, "protocol:YSF;"},
                           });
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(
        events[0],
        "{\"protocol\":\"YSF\",\"event\":\"call\",\"time\":0.500,\"mode\":\"DN\",\"source\":\"N0CALL\",\"target\":"
        "\"ALL\",\"up\":\"N0RPT\",\"down\":\"N0RPT\"}\n");
    EXPECT_EQ(
        events[1],
        "{\"protocol\":\"YSF\",\"event\":\"call\",\"time\":0.600,\"mode\":\"DN\",\"source\":\"N0CALL\",\"target\":"
        "\"ALL\",\"up\":\"N0RPT\",\"down\":\"N0RPT\",\"radio\":\"FT-70D\",\"lat\":51.500000,\"lon\":-0.125000}\n");
    EXPECT_NE(events[2].find("\"event\":\"call-end\",\"time\":0.700"), std::string::npos);
    EXPECT_NE(events[2].find("\"duration\":0.200}"), std::string::npos);

    // Fields that never come: the call is announced a superframe after its source.
    call_tracker u;
    u.protocol = event_protocol::ysf;
    track(u, {{1.0, "protocol:YSF;mode:DN;source:N0CALL    ;target:ALL       ;"}});
    EXPECT_TRUE(track_time(u, 1.0 + ysf_superframe_seconds - 0.01, false).empty());
    auto late = track_time(u, 1.0 + ysf_superframe_seconds, false);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].kind, event_kind::call);
    EXPECT_EQ(late[0].ysf_source, "N0CALL");
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
        "\"message\":\"a;b\\rc\"}");
    // The fill a transmitter sends after the text is no part of it.
    EXPECT_EQ(parse_page_line("address:1;message:TIME=0830\\x0A\x04\x03", 1200, 0)->message, "TIME=0830\n");
    std::string with_nul = "address:1;message:TIME";
    with_nul += std::string(3, '\0');
    EXPECT_EQ(parse_page_line(with_nul, 1200, 0)->message, "TIME");
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

TEST(PageMerge, CopiesWithinASecondRepeatsWithinTheWindow) {
    page_merge merge;
    merge.window = 10;
    auto page = [](long address, const char *text, double time, int baud, int64_t frequency = 0) {
        event p;
        p.protocol = event_protocol::pocsag;
        p.kind = event_kind::page;
        p.address = address;
        p.function = 3;
        p.message = text;
        p.time = time;
        p.baud = baud;
        p.frequency = frequency;
        return p;
    };
    event *reported = nullptr;
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 5.0, 1200, 439000000), &reported), page_verdict::fresh);
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 5.4, 1200), &reported), page_verdict::copy);  // other polarity
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 5.4, 1200, 439100000), &reported), page_verdict::copy);
    EXPECT_EQ(reported->frequencies, (std::vector<int64_t>{439000000, 439100000}));  // a simulcast network
    EXPECT_EQ(merge_page(merge, page(1234, "Hello!", 5.5, 1200), &reported), page_verdict::fresh);  // other text
    EXPECT_EQ(merge_page(merge, page(1235, "Hello", 5.5, 1200), &reported), page_verdict::fresh);   // other address
    event other_function = page(1234, "Hello", 5.6, 1200);
    other_function.function = 1;
    EXPECT_EQ(merge_page(merge, other_function, &reported), page_verdict::fresh);
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 9.0, 512), &reported), page_verdict::repeat);  // sent again
    EXPECT_EQ(reported->repeats, 2);
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 18.5, 512), &reported), page_verdict::repeat);  // window renewed
    EXPECT_EQ(reported->repeats, 3);
    EXPECT_EQ(merge_page(merge, page(1234, "Hello", 29.0, 512), &reported), page_verdict::fresh);  // window passed

    page_merge one_second;  // the default: only copies of one transmission merge
    EXPECT_EQ(merge_page(one_second, page(55, "Same", 1.0, 1200), &reported), page_verdict::fresh);
    EXPECT_EQ(merge_page(one_second, page(55, "Same", 2.6, 1200), &reported), page_verdict::fresh);
}

TEST(ReceivedText, EscapesOfTheDecodersUndoneOthersKept) {
    EXPECT_EQ(unescape_received("a\\x3Bb\\x0A\\x0d\\x1B"), "a;b\n\r\x1b");
    EXPECT_EQ(unescape_received("C:\\x5Cx0A"), "C:\\x0A");  // an escaped backslash, then text
    EXPECT_EQ(unescape_received("\\x41\\x4\\"), "\\x41\\x4\\");  // not an escape the decoders write
    EXPECT_EQ(trim_trailing_spaces("N0CALL    "), "N0CALL");
    EXPECT_EQ(event_text(*parse_page_line("address:1;message:\x1b[2J", 1200, 0)).find('\x1b'), std::string::npos);
}

// Received text in JSON is UTF-8 as received; what is not UTF-8 becomes
// U+FFFD. On a terminal line every control and direction override is shown
// as an escape, and a quote cannot end a quoted field early.
TEST(ReceivedText, SafeInJsonAndOnATerminal) {
    EXPECT_EQ(as_utf8("J\xC3\xBCrgen"), "J\xC3\xBCrgen");
    EXPECT_EQ(as_utf8("a\xFF" "b\xC3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(as_utf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");      // overlong '/'
    EXPECT_EQ(as_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
    event e;
    e.kind = event_kind::call;
    e.alias = "J\xC3\xBCrgen";
    EXPECT_NE(event_json(e).find("\"alias\":\"J\xC3\xBCrgen\""), std::string::npos) << event_json(e);

    const struct {
        const char *in, *out;
    } cases[] = {
        {"plain N0CALL", "plain N0CALL"},
        {"a\x1B[2Jb", "a\\x1B[2Jb"},
        {"\xC2\x85next\xC2\x9B", "\\u{0085}next\\u{009B}"},  // C1 controls as UTF-8
        {"\x85\x9B", "\\x85\\x9B"},                             // and as raw bytes
        {"abc\xE2\x80\xAE" "def", "abc\\u{202E}def"},               // right-to-left override
        {"x\" target:\"1", "x\\x22 target:\\x221"},
        {"back\\x0A", "back\\x5Cx0A"},
        {"J\xC3\xBCrgen", "J\xC3\xBCrgen"},
    };
    for (const auto &c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
}

}  // namespace
