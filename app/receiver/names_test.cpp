// SPDX-License-Identifier: MIT
#include "names.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "received_text.h"

namespace {

std::string temp_file(const std::string &content) {
    char path[] = "/tmp/names_test_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    return path;
}

std::string name_of(const name_table &t, long id) {
    auto found = t.by_id.find(id);
    return found == t.by_id.end() ? "<none>" : found->second;
}

}  // namespace

// The two layouts read from real files: a plain id,name list with a BOM and
// CRLF line ends and quoted names, and the RadioID.net user list.
TEST(Names, PlainAndRadioIdLayoutsFromFiles) {
    std::string plain = temp_file(
        "\xEF\xBB\xBF"
        "9,Local\r\n"
        "2001,\"Ops North\"\r\n"
        "91,\"World, wide \"\"WW\"\"\"\r\n"
        "\r\n"
        "  3100 , Jürgen \r\n"
        "262,\"two\nlines\"\r\n");
    name_table t;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(load_names(plain, t, warnings, error)) << error;
    EXPECT_TRUE(warnings.empty()) << warnings[0];
    EXPECT_EQ(name_of(t, 9), "Local");
    EXPECT_EQ(name_of(t, 2001), "Ops North");
    EXPECT_EQ(name_of(t, 91), "World, wide \"WW\"");
    EXPECT_EQ(name_of(t, 3100), "Jürgen");
    EXPECT_EQ(name_of(t, 262), "two lines");  // a line end inside a name becomes a space
    EXPECT_EQ(t.by_id.size(), 5u);
    unlink(plain.c_str());

    std::string users = temp_file(
        "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\n"
        "2621234,DL1ABC,Jürgen,Muster,Berlin,Berlin,Germany\n"
        "3101234,N0CALL,\"Ann, Jr\",Doe,\"Town\",CO,United States\n"
        "1234567,,Nobody,,,,\n");
    warnings.clear();
    ASSERT_TRUE(load_names(users, t, warnings, error)) << error;
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(name_of(t, 2621234), "DL1ABC Jürgen");
    EXPECT_EQ(name_of(t, 3101234), "N0CALL Ann, Jr");
    EXPECT_EQ(name_of(t, 1234567), "Nobody");
    EXPECT_EQ(t.by_call.at("DL1ABC"), "DL1ABC Jürgen");
    unlink(users.c_str());

    EXPECT_FALSE(load_names("/nonexistent/talkgroups.csv", t, warnings, error));
    EXPECT_NE(error.find("cannot read '/nonexistent/talkgroups.csv'"), std::string::npos) << error;

    // The three lists of the options at once; a list left out stays empty.
    std::string groups = temp_file("9,Local\n"), pagers = temp_file("1234567,Fire\n");
    name_tables tables;
    ASSERT_TRUE(load_name_tables(groups, "", pagers, tables, warnings, error)) << error;
    EXPECT_EQ(name_of(tables.talkgroups, 9), "Local");
    EXPECT_EQ(name_of(tables.capcodes, 1234567), "Fire");
    EXPECT_TRUE(tables.radio_ids.by_id.empty());
    EXPECT_FALSE(load_name_tables(groups, "/nonexistent/ids.csv", "", tables, warnings, error));
    EXPECT_NE(error.find("'/nonexistent/ids.csv'"), std::string::npos) << error;
    unlink(groups.c_str());
    unlink(pagers.c_str());
}

// Bad lines get one warning each naming file and line, and the rest loads;
// what a name holds comes out as one bounded line of valid UTF-8.
TEST(Names, HostileLinesAreSkippedOrMadeSafe) {
    std::string text =
        "1,One\n"
        "x2,Bad id\n"              // line 2
        "99999999999,Too large\n"  // line 3
        "-5,Negative\n"            // line 4
        "7\n"                      // line 5: no name
        "8,\"\"\n"                 // line 6: empty name
        "10,Ten\n"
        "11,\"\xFF\xFEnot utf8\x1B[31m\"\n"  // invalid UTF-8 and a terminal control
        "12,";
    text += std::string(199, 'A') + "\xC3\xA4\xC3\xA4" + std::string(500, 'B') + "\n";  // far too long
    text += std::string("13,nul\0inside\n", 14);
    text += "14,\"never closed\n15,Fifteen\n";  // line 11 onwards
    std::vector<std::string> warnings;
    name_table t = parse_names(text, "tg.csv", warnings);
    ASSERT_EQ(warnings.size(), 6u);
    EXPECT_EQ(warnings[0].rfind("tg.csv:2: ", 0), 0u) << warnings[0];
    EXPECT_EQ(warnings[1].rfind("tg.csv:3: ", 0), 0u) << warnings[1];
    EXPECT_EQ(warnings[2].rfind("tg.csv:4: ", 0), 0u) << warnings[2];
    EXPECT_EQ(warnings[3].rfind("tg.csv:5: ", 0), 0u) << warnings[3];
    EXPECT_EQ(warnings[4].rfind("tg.csv:6: ", 0), 0u) << warnings[4];
    EXPECT_EQ(warnings[5].rfind("tg.csv:11: ", 0), 0u) << warnings[5];
    for (const std::string &w : warnings) EXPECT_EQ(w.find('\n'), std::string::npos);
    EXPECT_EQ(name_of(t, 1), "One");
    EXPECT_EQ(name_of(t, 10), "Ten");
    EXPECT_EQ(name_of(t, 11), "\xEF\xBF\xBD\xEF\xBF\xBDnot utf8 [31m");
    EXPECT_LE(name_of(t, 12).size(), 200u);
    EXPECT_EQ(name_of(t, 12), std::string(199, 'A'));  // cut before the two-byte character, never inside it
    EXPECT_EQ(name_of(t, 13), "nul inside");
    EXPECT_EQ(name_of(t, 15), "<none>");
    EXPECT_EQ(t.by_id.size(), 5u);
}

// A file of nothing but bad lines names the first of them and counts the rest.
TEST(Names, WarningsAreBounded) {
    std::string text;
    for (int k = 0; k < 5000; ++k) text += "not a line\n";
    std::vector<std::string> warnings;
    name_table t = parse_names(text, "ids.csv", warnings);
    EXPECT_TRUE(t.by_id.empty());
    ASSERT_EQ(warnings.size(), name_warning_limit + 1);
    EXPECT_EQ(warnings.back(), "ids.csv: " + std::to_string(4999 - name_warning_limit) + " more bad lines skipped");
}

TEST(Names, AppliedToEvents) {
    name_tables tables;
    std::vector<std::string> w;
    tables.talkgroups = parse_names("9,Local\n2001,TG 2001\n", "tg", w);
    tables.radio_ids = parse_names("RADIO_ID,CALLSIGN,FIRST_NAME\n2001,DL1ABC,Ann\n3100,N0CALL,Bob\n", "ids", w);
    tables.capcodes = parse_names("1234567,Fire brigade\n", "cap", w);
    ASSERT_TRUE(w.empty());

    struct case_ {
        const char *what;
        event e;
        std::string source_name, target_name, name;
    };
    event group, direct, unknown, ysf, page, missing;
    group.source = 2001, group.target = 9, group.type = "group";
    direct.source = 3100, direct.target = 2001, direct.type = "direct";
    unknown.source = 9, unknown.target = 2001;  // no type: the target is taken as a talkgroup
    ysf.protocol = event_protocol::ysf, ysf.ysf_source = "n0call-7";
    page.protocol = event_protocol::pocsag, page.address = 1234567;
    missing.source = 5, missing.target = 6, missing.type = "group";
    for (const case_ &c : std::vector<case_>{{"group", group, "DL1ABC Ann", "Local", ""},
                                             {"direct", direct, "N0CALL Bob", "DL1ABC Ann", ""},
                                             {"untyped", unknown, "", "TG 2001", ""},
                                             {"ysf", ysf, "N0CALL Bob", "", ""},
                                             {"page", page, "", "", "Fire brigade"},
                                             {"unknown ids", missing, "", "", ""}}) {
        SCOPED_TRACE(c.what);
        event e = c.e;
        apply_names(tables, e);
        EXPECT_EQ(e.source_name, c.source_name);
        EXPECT_EQ(e.target_name, c.target_name);
        EXPECT_EQ(e.name, c.name);
    }
}

// Random bytes of the characters that matter to CSV: never a crash, and
// every name loaded is one bounded line of valid UTF-8.
TEST(Names, RandomInputKeepsNamesSafe) {
    std::mt19937 random(20261211);
    const char alphabet[] = {'0', '1', '9', ',', '"', '\n', '\r', ' ', 'a', '\0', '\x1B', '\xC3', '\xA4', '\xFF'};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        size_t length = random() % 2000;
        for (size_t k = 0; k < length; ++k) text += alphabet[random() % sizeof alphabet];
        if (round % 2) text = "RADIO_ID,CALLSIGN,FIRST_NAME\n" + text;
        std::vector<std::string> warnings;
        name_table t = parse_names(text, "random.csv", warnings);
        EXPECT_LE(warnings.size(), name_warning_limit + 1);
        for (const auto &[id, name] : t.by_id) {
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), 200u);
            EXPECT_EQ(as_utf8(name), name);
            for (unsigned char c : name) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << round;
        }
    }
}
