// SPDX-License-Identifier: MIT
// zelvane as a monitor people deploy, end to end: a real mosquitto broker
// and subscriber, the call log read back by the sqlite3 shell, name lists,
// and the sidecars beside the speech files.

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "test_broker.h"
#include "testing/process.h"

namespace {

const std::string zelvane = ZELVANE_PATH;

std::vector<float> airmint(const std::vector<std::string> &args) {
    program_result r = run_program(AIRMINT_PATH, args, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return from_bytes<float>(r.out);
}

void append(std::vector<float> &to, const std::vector<float> &more) { to.insert(to.end(), more.begin(), more.end()); }

std::vector<float> silence(double seconds) { return std::vector<float>(static_cast<size_t>(seconds * 48000), 0.0f); }

// A DMR call with a talker alias and a position, a System Fusion call, a
// page sent twice a few seconds apart and another page.
std::vector<float> recording() {
    std::vector<float> s = silence(0.3);
    append(s, airmint({"--source", "2001", "--target", "9", "--superframes", "12", "--alias", "O'Brien; DROP TABLE",
                       "--position", "48.1,11.5"}));
    append(s, silence(0.5));
    append(s, airmint({"-p", "ysf", "--source", "N0CALL", "--target", "ALL"}));
    append(s, silence(0.5));
    append(s, airmint({"-p", "pocsag", "--page", "1234567:Meet at the mast"}));
    append(s, silence(3.0));
    append(s, airmint({"-p", "pocsag", "--page", "1234567:Meet at the mast", "--page", "7:other"}));
    append(s, silence(0.5));
    return s;
}

std::string sqlite(const std::string &db, const std::string &query) {
    program_result r = run_program("/usr/bin/sqlite3", {"-cmd", ".timeout 2000", db, query}, "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

class ZelvaneMonitor : public ::testing::Test {
   protected:
    void SetUp() override {
        dir = make_temp_dir();
        std::ofstream(dir + "/in.f32", std::ios::binary) << as_bytes(recording());
        std::ofstream(dir + "/tg.csv") << "9,Local\n2001,not a talkgroup\n";
        std::ofstream(dir + "/ids.csv") << "\xEF\xBB\xBF"
                                           "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY\r\n"
                                           "2001,DL1ABC,Anna,Muster,Munich\r\n"
                                           "not a line\r\n";
        std::ofstream(dir + "/caps.csv") << "1234567,\"Fire, station 4\"\n";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

// Every event once through the broker on its topic, as the JSON that -j
// writes; the log holds the calls, their talker, the pages with their
// repeats and the position; names and the station everywhere.
TEST_F(ZelvaneMonitor, BrokerLogNamesAndSidecars) {
    if (find_mosquitto().empty() || access("/usr/bin/sqlite3", X_OK) != 0) GTEST_SKIP() << "mosquitto or sqlite3 missing";
    test_broker broker;
    std::string error;
    ASSERT_TRUE(broker.start(error)) << error;
    test_subscriber subscriber;
    ASSERT_TRUE(subscriber.connect(broker.port(), "zelvane/#"));

    const std::string db = dir + "/log.db";
    program_result r = run_program(
        zelvane, {"-j", "--station", "loft", "--mqtt", "mqtt://127.0.0.1:" + std::to_string(broker.port()), "--db", db,
                  "--dedup", "10", "--talkgroups", dir + "/tg.csv", "--radio-ids", dir + "/ids.csv", "--capcodes",
                  dir + "/caps.csv", "-a", dir + "/speech", "-f", "f32", "-r", "48000", dir + "/in.f32"},
        "");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // One warning for the bad line of the radio-id list, naming it.
    EXPECT_NE(r.err.find("ids.csv:3:"), std::string::npos) << r.err;

    // The readable names and the station in the JSON.
    EXPECT_NE(r.out.find("\"station\":\"loft\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"source_name\":\"DL1ABC Anna\",\"target_name\":\"Local\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"name\":\"Fire, station 4\""), std::string::npos) << r.out;
    program_result text = run_program(zelvane, {"--talkgroups", dir + "/tg.csv", "--radio-ids", dir + "/ids.csv",
                                                "-f", "f32", "-r", "48000", dir + "/in.f32"},
                                      "");
    EXPECT_NE(text.out.find("group 2001 (DL1ABC Anna) -> 9 (Local)"), std::string::npos) << text.out;

    // The broker: each event of standard output once, on its topic.
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_TRUE(subscriber.wait_for(
        [&](const std::vector<received_message> &m) {
            size_t events = 0;
            for (const auto &x : m) events += x.topic.find("/status") == std::string::npos;
            return events >= lines.size();
        },
        10000));
    std::vector<std::string> published;
    for (const received_message &m : subscriber.messages()) {
        if (m.topic == "zelvane/loft/status") continue;
        rapidjson::Document d;
        d.Parse(m.payload.c_str());
        ASSERT_FALSE(d.HasParseError()) << m.payload;
        std::string protocol = d["protocol"].GetString(), kind = d["event"].GetString();
        for (char &c : protocol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(m.topic, "zelvane/loft/" + protocol + "/" + kind);
        published.push_back(m.payload);
    }
    EXPECT_EQ(published, lines);
    bool offline = false;
    for (const received_message &m : subscriber.messages())
        if (m.topic == "zelvane/loft/status" && m.payload == "offline") offline = true;
    EXPECT_TRUE(offline) << "the status says offline after a clean exit";

    // The log, read by the sqlite3 shell.
    EXPECT_EQ(sqlite(db, "SELECT protocol, type, source, target, source_name, target_name, alias FROM calls "
                         "WHERE protocol = 'DMR';"),
              "DMR|group|2001|9|DL1ABC Anna|Local|O'Brien; DROP TABLE\n");
    EXPECT_EQ(sqlite(db, "SELECT count(*) FROM calls WHERE stop_time IS NOT NULL;"), "2\n");
    EXPECT_EQ(sqlite(db, "SELECT address, message, name, repeats FROM pages ORDER BY id;"),
              "1234567|Meet at the mast|Fire, station 4|2\n7|other||1\n");
    EXPECT_EQ(sqlite(db, "SELECT source, round(lat, 3), round(lon, 3) FROM positions;"), "2001|48.1|11.5\n");
    EXPECT_EQ(sqlite(db, "PRAGMA journal_mode;"), "wal\n");

    // The sidecars: JSON beside each speech file, naming its call.
    program_result listing = run_program("/bin/ls", {dir + "/speech"}, "");
    std::vector<std::string> sidecars;
    for (size_t at = 0, nl; (nl = listing.out.find('\n', at)) != std::string::npos; at = nl + 1) {
        std::string name = listing.out.substr(at, nl - at);
        if (name.size() > 5 && name.substr(name.size() - 5) == ".json") sidecars.push_back(name);
    }
    ASSERT_EQ(sidecars.size(), 2u) << listing.out;
    rapidjson::Document d;
    std::string dmr = read_file(dir + "/speech/" + sidecars[0]);
    d.Parse(dmr.c_str());
    ASSERT_FALSE(d.HasParseError()) << dmr;
    EXPECT_STREQ(d["protocol"].GetString(), "DMR");
    EXPECT_EQ(d["target"].GetInt(), 9);
    EXPECT_STREQ(d["target_name"].GetString(), "Local");
    EXPECT_STREQ(d["station"].GetString(), "loft");
    ASSERT_TRUE(d["sources"].IsArray());
    EXPECT_EQ(d["sources"][0]["source"].GetInt(), 2001);
    EXPECT_GT(d["duration"].GetDouble(), 1.5);
}

}  // namespace
