// SPDX-License-Identifier: MIT
#include "file_name_template.h"

#include <gtest/gtest.h>

#include "received_text.h"

namespace {

event dmr_call(double time, int slot, long source, long target) {
    event e;
    e.time = time, e.slot = slot, e.source = source, e.target = target, e.type = "group";
    return e;
}

event ysf_call(double time, std::string source, std::string target) {
    event e;
    e.protocol = event_protocol::ysf;
    e.time = time, e.ysf_source = std::move(source), e.ysf_target = std::move(target);
    return e;
}

std::string stem(const std::string &text, const event &e) {
    name_template t;
    std::string error;
    EXPECT_TRUE(parse_name_template(text, t, error)) << error;
    return file_stem(t, e);
}

}  // namespace

TEST(FileNameTemplate, DefaultNamesAndFields) {
    event wide = dmr_call(12.5, 2, 2001, 9);
    wide.frequency = 439012500;
    event stamped = dmr_call(0.48, 1, 2001, 9);
    stamped.utc = "2026-12-11T23:59:59.999Z";
    stamped.station = "loft";
    stamped.target_name = "Ops North";
    stamped.source_name = "DL1ABC Ann";
    stamped.alias = "Ann";
    struct case_ {
        std::string text;
        event e;
        std::string want;
    };
    for (const case_ &c : std::vector<case_>{
             {"", dmr_call(0.48, 1, 2001, 9), "0000.480s-DMR-slot1-2001-to-9"},
             {"", dmr_call(1234.5678, 2, 16777215, 3100), "1234.568s-DMR-slot2-16777215-to-3100"},
             {"", ysf_call(2.613, "N0CALL", "ALL"), "0002.613s-YSF-N0CALL-to-ALL"},
             {"", ysf_call(2.613, "", ""), "0002.613s-YSF-unknown-to-unknown"},
             {"", wide, "0012.500s-439.0125MHz-DMR-slot2-2001-to-9"},
             {"{date}_{time}_{target}", stamped, "2026-12-11_235959_9"},
             {"{date}_{time}", dmr_call(3.25, 1, 1, 2), "input_0003.250s"},
             {"{protocol} {slot} {type} {source_name} to {target_name} ({alias}) @{station} {seconds}", stamped,
              "DMR 1 group DL1ABC Ann to Ops North (Ann) @loft 0000.480"},
             {"{frequency}MHz {slot}", ysf_call(1, "A", "B"), "MHz "},
             {"call", dmr_call(0, 1, 1, 2), "call"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(stem(c.text, c.e), c.want);
    }
}

TEST(FileNameTemplate, BadTemplatesAreRefused) {
    for (const char *text : {"{nosuch}", "{date", "date}", "a/b", "{date}/{time}", "tab\there", "{}"}) {
        SCOPED_TRACE(text);
        name_template t;
        std::string error;
        EXPECT_FALSE(parse_name_template(text, t, error));
        EXPECT_EQ(error.rfind("--audio-name: ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// What the air sends, however hostile, gives one bounded, valid, visible
// file name inside the folder.
TEST(FileNameTemplate, HostileFieldsGiveSafeNames) {
    const std::vector<std::string> hostile = {
        "../../etc/passwd",
        "/",
        "..",
        ".hidden",
        std::string("N0\0CALL", 7),
        "\"quoted\" 'name' <a|b>:*?",
        std::string(300, 'W'),
        std::string(150, 'x') + std::string(100, '\xC3'),  // truncated sequences
        "\xFF\xFE\xC0\xAF",                                // invalid and overlong '/'
        "\xE2\x80\xAE"
        "evil\xC2\x9B"
        "31m\x1B[2J\r\n",  // bidi override, C1 and C0 controls
        "back\\slash",
        std::string(95, 'a') + "\xE2\x82\xAC" + std::string(200, 'b'),
    };
    for (const std::string &h : hostile) {
        for (const char *text : {"", "{source}", "{alias}{alias}{alias}", "{target}-{source_name}"}) {
            SCOPED_TRACE(printable(h) + " in " + text);
            event e = ysf_call(1, h, h);
            e.alias = h;
            e.source_name = h;
            std::string name = stem(text, e);
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), longest_file_stem);
            EXPECT_NE(name[0], '.');
            EXPECT_EQ(name.find('/'), std::string::npos);
            EXPECT_EQ(name.find('\\'), std::string::npos);
            EXPECT_EQ(as_utf8(name), name);  // valid UTF-8, not cut inside a character
            EXPECT_EQ(printable(name).find("\\"), std::string::npos) << printable(name);  // no controls at all
            EXPECT_NE(name, "..");
        }
    }
    EXPECT_EQ(safe_name_part("../x"), ".._x");
    EXPECT_EQ(stem("{source}", ysf_call(1, "../x", "")), "___x");
    EXPECT_EQ(cut_utf8("a\xE2\x82\xAC", 3), "a");
    EXPECT_EQ(cut_utf8("a\xE2\x82\xAC", 4), "a\xE2\x82\xAC");
}
