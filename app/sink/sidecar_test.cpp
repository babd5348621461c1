// SPDX-License-Identifier: MIT
#include "sidecar.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

TEST(Sidecar, UtcMoved) {
    struct case_ {
        const char *utc;
        double seconds;
        const char *want;
    };
    for (const case_ &c : std::vector<case_>{{"2026-12-11T11:19:35.480Z", 1.52, "2026-12-11T11:19:37.000Z"},
                                             {"2026-12-31T23:59:59.999Z", 0.002, "2027-01-01T00:00:00.001Z"},
                                             {"2028-02-28T23:59:00.000Z", 120, "2028-02-29T00:01:00.000Z"},
                                             {"2026-12-11T11:19:35Z", 0.5, "2026-12-11T11:19:35.500Z"},
                                             {"2026-12-11 11:19:35", 1, ""},
                                             {"", 1, ""},
                                             {"garbage", 1, ""}}) {
        SCOPED_TRACE(c.utc);
        EXPECT_EQ(utc_plus(c.utc, c.seconds), c.want);
    }
}

// A call with two talkers, a talker alias arriving late, positions, UTC
// and the quality figures of its end; read back as JSON.
TEST(Sidecar, CallWithTurnsPositionsAndQuality) {
    call_record r;
    event e;
    e.call_id = 7, e.time = 0.48, e.slot = 2, e.type = "group", e.source = 2001, e.target = 9;
    e.frequency = 439012500, e.station = "loft", e.utc = "2026-12-11T11:19:35.480Z";
    e.target_name = "Local";
    call_record_take(r, e);
    e.time = 0.84, e.alias = "J\xC3\xBCrgen \xFF\"x\"", e.has_position = true, e.lat = 52.5, e.lon = 13.4;
    call_record_take(r, e);
    e.time = 1.2;  // the same position again
    call_record_take(r, e);
    e.time = 2.0, e.source = 3100, e.alias.clear(), e.source_name = "N0CALL Bob", e.has_position = false;
    e.utc = "2026-12-11T11:19:37.000Z";
    call_record_take(r, e);
    e.kind = event_kind::call_end, e.time = 3.0, e.duration = 2.52, e.utc = "2026-12-11T11:19:38.000Z";
    add_number(e, "voice_frames", 120);
    add_number(e, "voice_frames_corrected", 7);
    add_number(e, "voice_frames_lost", 2);
    call_record_take(r, e);
    r.stop = 3.0, r.audio = "x.wav", r.audio_format = "wav", r.samples = 16000;

    std::string text = sidecar_json(r);
    ASSERT_EQ(text.back(), '\n');
    rapidjson::Document d;
    d.Parse(text.c_str());
    ASSERT_FALSE(d.HasParseError()) << text;
    EXPECT_STREQ(d["protocol"].GetString(), "DMR");
    EXPECT_EQ(d["frequency"].GetInt64(), 439012500);
    EXPECT_STREQ(d["station"].GetString(), "loft");
    EXPECT_EQ(d["slot"].GetInt(), 2);
    EXPECT_STREQ(d["type"].GetString(), "group");
    EXPECT_EQ(d["source"].GetInt(), 2001);
    EXPECT_EQ(d["target"].GetInt(), 9);
    EXPECT_STREQ(d["target_name"].GetString(), "Local");
    EXPECT_STREQ(d["alias"].GetString(), "J\xC3\xBCrgen \xEF\xBF\xBD\"x\"");
    const auto &sources = d["sources"];
    ASSERT_EQ(sources.Size(), 2u) << text;
    EXPECT_EQ(sources[0]["source"].GetInt(), 2001);
    EXPECT_DOUBLE_EQ(sources[0]["time"].GetDouble(), 0.48);
    EXPECT_STREQ(sources[0]["utc"].GetString(), "2026-12-11T11:19:35.480Z");
    EXPECT_EQ(sources[1]["source"].GetInt(), 3100);
    EXPECT_DOUBLE_EQ(sources[1]["time"].GetDouble(), 2.0);
    EXPECT_STREQ(sources[1]["source_name"].GetString(), "N0CALL Bob");
    EXPECT_FALSE(sources[1].HasMember("alias"));
    ASSERT_EQ(d["positions"].Size(), 1u);
    EXPECT_DOUBLE_EQ(d["positions"][0]["lat"].GetDouble(), 52.5);
    EXPECT_DOUBLE_EQ(d["start"].GetDouble(), 0.48);
    EXPECT_DOUBLE_EQ(d["stop"].GetDouble(), 3.0);
    EXPECT_DOUBLE_EQ(d["duration"].GetDouble(), 2.52);
    EXPECT_STREQ(d["start_utc"].GetString(), "2026-12-11T11:19:35.480Z");
    EXPECT_STREQ(d["stop_utc"].GetString(), "2026-12-11T11:19:38.000Z");
    EXPECT_DOUBLE_EQ(d["audio_seconds"].GetDouble(), 2.0);
    EXPECT_EQ(d["voice_frames"].GetInt(), 120);
    EXPECT_EQ(d["voice_frames_corrected"].GetInt(), 7);
    EXPECT_EQ(d["voice_frames_lost"].GetInt(), 2);
    EXPECT_FALSE(d.HasMember("interrupted"));
}

// A System Fusion call stopped by the run's end: no quality figures (the
// end never came), the stop time in UTC reckoned from the start.
TEST(Sidecar, InterruptedSystemFusionCall) {
    call_record r;
    event e;
    e.protocol = event_protocol::ysf, e.time = 10, e.ysf_source = "N0CALL", e.ysf_target = "ALL";
    e.mode = "V/D mode 2", e.radio = "FT-70D", e.utc = "2026-12-11T11:00:00.000Z";
    add_text(e, "voice_frames", "120");  // not a number: never copied
    call_record_take(r, e);
    r.stop = 12.5, r.interrupted = true, r.audio = "y.ogg", r.audio_format = "ogg";
    rapidjson::Document d;
    d.Parse(sidecar_json(r).c_str());
    ASSERT_FALSE(d.HasParseError());
    EXPECT_STREQ(d["source"].GetString(), "N0CALL");
    EXPECT_STREQ(d["target"].GetString(), "ALL");
    EXPECT_STREQ(d["radio"].GetString(), "FT-70D");
    EXPECT_FALSE(d.HasMember("slot"));
    EXPECT_FALSE(d.HasMember("frequency"));
    EXPECT_STREQ(d["sources"][0]["source"].GetString(), "N0CALL");
    EXPECT_DOUBLE_EQ(d["duration"].GetDouble(), 2.5);
    EXPECT_STREQ(d["stop_utc"].GetString(), "2026-12-11T11:00:02.500Z");
    EXPECT_TRUE(d["interrupted"].GetBool());
    EXPECT_FALSE(d.HasMember("voice_frames"));
}

// A hostile stream of updates from ever other talkers and places keeps
// the record bounded and says what it left out.
TEST(Sidecar, EndlessTurnsAreBounded) {
    call_record r;
    event e;
    for (int k = 0; k < 2000; ++k) {
        e.time = k, e.source = k % 2 ? 1 : 2, e.has_position = true, e.lat = k * 0.001, e.lon = 1;
        e.alias = "talker " + std::to_string(k);
        call_record_take(r, e);
    }
    EXPECT_EQ(r.turns.size(), call_record::kept);
    EXPECT_EQ(r.positions.size(), call_record::kept);
    EXPECT_EQ(r.turns.back().alias, "talker " + std::to_string(call_record::kept - 1));  // not a later talker's
    r.audio_cut = true;
    rapidjson::Document d;
    d.Parse(sidecar_json(r).c_str());
    ASSERT_FALSE(d.HasParseError());
    EXPECT_EQ(d["sources"].Size(), call_record::kept);
    EXPECT_EQ(d["sources_left_out"].GetInt(), 2000 - static_cast<int>(call_record::kept));
    EXPECT_EQ(d["positions_left_out"].GetInt(), 2000 - static_cast<int>(call_record::kept));
    EXPECT_TRUE(d["audio_cut"].GetBool());
}
