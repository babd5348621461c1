// SPDX-License-Identifier: MIT
// The call log through real components: the database file is read back by
// the sqlite3 shell (while the sink writes, and after a writer was killed),
// a second process holds the write lock, and a small tmpfs fills up.
#include "sqlite_sink.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <mutex>
#include <thread>

#include "test_broker.h"
#include "testing/process.h"

namespace {

// The README's two example queries.
const char *const talkgroups_by_airtime =
    "SELECT target AS talkgroup, coalesce(target_name, '') AS name, count(*) AS calls, "
    "round(sum(duration), 1) AS seconds FROM calls "
    "WHERE protocol = 'DMR' AND type = 'group' "
    "AND start_utc >= strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-1 hour') "
    "GROUP BY target ORDER BY seconds DESC;";
const char *const pages_to_capcode =
    "SELECT coalesce(utc, time) AS received, baud, function, message, repeats FROM pages "
    "WHERE address = 1234567 ORDER BY id;";

// UTC now plus offset seconds, as the engine stamps events.
std::string utc_in(int offset) {
    std::time_t t = std::time(nullptr) + offset;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &tm);
    return text;
}

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

event dmr_call(uint64_t id, event_kind kind, double time, long source, long target) {
    event e;
    e.protocol = event_protocol::dmr;
    e.kind = kind;
    e.call_id = id;
    e.time = time;
    e.slot = 2;
    e.type = "group";
    e.source = source;
    e.target = target;
    return e;
}

event page(double time, long address, const std::string &message, int repeats = 0) {
    event e;
    e.protocol = event_protocol::pocsag;
    e.kind = repeats > 0 ? event_kind::page_repeat : event_kind::page;
    e.time = time;
    e.baud = 1200;
    e.address = address;
    e.function = 3;
    e.message = message;
    e.repeats = repeats;
    return e;
}

class LogTest : public ::testing::Test {
   protected:
    void SetUp() override {
        shell_ = find_on_path("sqlite3");
        if (shell_.empty()) GTEST_SKIP() << "the sqlite3 shell is not installed";
        dir_ = make_temp_dir();
        db_ = dir_ + "/log.db";
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    std::unique_ptr<sqlite_sink> open(const std::string &path, int busy_ms = 1000, size_t queue = 8192) {
        sqlite_sink_options options;
        options.path = path;
        options.busy_timeout_ms = busy_ms;
        options.queue_limit = queue;
        options.report = [this](const std::string &line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        };
        std::string error;
        auto sink = open_sqlite_sink(options, error);
        EXPECT_TRUE(sink) << error;
        return sink;
    }

    // The sqlite3 shell's answer to query, fields split by '|', rows by '\n'.
    std::string sql(const std::string &query, const std::string &db = "") {
        program_result r = run_program(shell_, {"-batch", "-noheader", db.empty() ? db_ : db, query}, "");
        EXPECT_EQ(r.exit_code, 0) << query << "\n" << r.err;
        EXPECT_EQ(r.err, "") << query;
        return r.out;
    }

    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    std::string shell_, dir_, db_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST_F(LogTest, CallRowIsWrittenAtItsStartUpdatedWhileItRunsAndClosedAtItsEnd) {
    auto sink = open(db_);
    ASSERT_TRUE(sink);
    event start = dmr_call(7, event_kind::call, 1.0, 2620001, 2001);
    start.frequency = 439012500;
    start.station = "loft";
    start.utc = utc_in(-60);
    start.target_name = "Ops North";
    sink->take(start);
    ASSERT_TRUE(sink->drain(5000));
    // A reader sees the running call before it ends.
    EXPECT_EQ(sql("SELECT protocol, frequency, station, slot, type, source, target, target_name, start_time, "
                  "stop_time IS NULL FROM calls"),
              "DMR|439012500|loft|2|group|2620001|2001|Ops North|1.0|1\n");

    event late = dmr_call(7, event_kind::call, 3.0, 2620002, 2001);
    late.alias = "DL1ABC";
    late.source_name = "DL1ABC Anna";
    late.has_position = true;
    late.lat = 52.5;
    late.lon = 13.25;
    sink->take(late);
    sink->take(late);  // the same talker and position again add no rows
    event gps = late;  // a position sent as data within the call
    gps.kind = event_kind::data;
    gps.time = 4.0;
    gps.lat = 52.75;
    sink->take(gps);
    event elsewhere = gps;  // and one outside any call
    elsewhere.call_id = 0;
    elsewhere.source = 2620009;
    sink->take(elsewhere);
    event control = gps;  // not logged
    control.kind = event_kind::csbk;
    sink->take(control);
    event end = dmr_call(7, event_kind::call_end, 5.5, 2620002, 2001);
    end.duration = 4.5;
    end.audio = "call-7.wav";
    end.utc = utc_in(-55);
    sink->take(end);
    sink->finish(false);

    EXPECT_EQ(sql("SELECT source, source_name, alias, duration, stop_time, stop_utc IS NOT NULL, audio FROM calls"),
              "2620002|DL1ABC Anna|DL1ABC|4.5|5.5|1|call-7.wav\n");
    EXPECT_EQ(sql("SELECT source, coalesce(alias, '-'), time FROM call_sources ORDER BY id"),
              "2620001|-|1.0\n2620002|DL1ABC|3.0\n");
    EXPECT_EQ(sql("SELECT c.run_call, p.protocol, p.source, p.lat, p.lon, p.time FROM positions p "
                  "JOIN calls c ON c.id = p.call_id ORDER BY p.id"),
              "7|DMR|2620002|52.5|13.25|3.0\n7|DMR|2620002|52.75|13.25|4.0\n");
    EXPECT_EQ(sql("SELECT coalesce(call_id, '-'), source, lat FROM positions WHERE call_id IS NULL"),
              "-|2620009|52.75\n");
    EXPECT_EQ(sql("SELECT count(*) FROM runs WHERE stopped_utc IS NOT NULL"), "1\n");
    EXPECT_TRUE(lines().empty());
}

TEST_F(LogTest, SourcesAreNumbersForDmrAndCallSignsForSystemFusion) {
    auto sink = open(db_);
    ASSERT_TRUE(sink);
    sink->take(*std::make_unique<event>(dmr_call(1, event_kind::call, 0.5, 3100, 91)));
    event ysf;
    ysf.protocol = event_protocol::ysf;
    ysf.call_id = 2;
    ysf.time = 1.0;
    ysf.ysf_source = "007";  // a call sign of digits stays text, leading zeros and all
    ysf.ysf_target = "ALL";
    ysf.mode = "V/D mode 2";
    ysf.radio = "FT-70D";
    sink->take(ysf);
    sink->finish(false);
    EXPECT_EQ(sql("SELECT protocol, typeof(source), source, typeof(target), target, coalesce(slot, '-'), "
                  "coalesce(mode, '-'), coalesce(radio, '-') FROM calls ORDER BY id"),
              "DMR|integer|3100|integer|91|2|-|-\nYSF|text|007|text|ALL|-|V/D mode 2|FT-70D\n");
}

TEST_F(LogTest, RepeatsOfAPageCountOnItsRow) {
    auto sink = open(db_);
    ASSERT_TRUE(sink);
    event first = page(10.0, 1234567, "FIRE STATION 3");
    first.utc = utc_in(-30);
    sink->take(first);
    sink->take(*std::make_unique<event>(page(12.0, 1234567, "FIRE STATION 3", 2)));
    sink->take(*std::make_unique<event>(page(14.0, 1234567, "FIRE STATION 3", 3)));
    // Another text to the same capcode is a page of its own.
    sink->take(*std::make_unique<event>(page(15.0, 1234567, "TEST")));
    // A repeat whose first reception is not in the log (it could not be
    // written then) makes the page's row.
    sink->take(*std::make_unique<event>(page(16.0, 42, "LATE", 2)));
    sink->take(*std::make_unique<event>(page(17.0, 42, "", 0)));  // a tone-only page
    sink->take(*std::make_unique<event>(page(18.0, 42, "", 2)));
    sink->finish(false);
    EXPECT_EQ(sql("SELECT address, message, repeats, time, last_time FROM pages ORDER BY id"),
              "1234567|FIRE STATION 3|3|10.0|14.0\n1234567|TEST|1|15.0|15.0\n42|LATE|2|16.0|16.0\n42||2|17.0|18.0\n");
    EXPECT_EQ(sql(pages_to_capcode), first.utc + "|1200|3|FIRE STATION 3|3\n15.0|1200|3|TEST|1\n");
}

TEST_F(LogTest, TalkgroupsByAirtimeOfTheLastHour) {
    auto sink = open(db_);
    ASSERT_TRUE(sink);
    struct {
        uint64_t id;
        long target;
        int ago;
        double seconds;
    } calls[] = {{1, 2001, 600, 10}, {2, 2002, 500, 30}, {3, 2001, 400, 15}, {4, 2003, 7200, 99}};
    for (const auto &c : calls) {
        event start = dmr_call(c.id, event_kind::call, c.id * 100.0, 3100, c.target);
        start.utc = utc_in(-c.ago);
        if (c.target == 2001) start.target_name = "Ops North";
        sink->take(start);
        event end = start;
        end.kind = event_kind::call_end;
        end.duration = c.seconds;
        sink->take(end);
    }
    sink->finish(false);
    // Talkgroup 2003 spoke two hours ago.
    EXPECT_EQ(sql(talkgroups_by_airtime), "2002||1|30.0\n2001|Ops North|2|25.0\n");
}

TEST_F(LogTest, EveryRunKeepsItsOwnCallsInTheSameFile) {
    for (int run = 0; run < 2; ++run) {
        auto sink = open(db_);
        ASSERT_TRUE(sink);
        // Each run numbers its calls from 1 again.
        sink->take(*std::make_unique<event>(dmr_call(1, event_kind::call, 1.0, 100 + run, 9)));
        sink->finish(false);
    }
    EXPECT_EQ(sql("SELECT run, run_call, source FROM calls ORDER BY id"), "1|1|100\n2|1|101\n");
    EXPECT_EQ(sql("SELECT count(*) FROM runs WHERE stopped_utc IS NOT NULL"), "2\n");
    EXPECT_EQ(sql("PRAGMA journal_mode"), "wal\n");
}

TEST_F(LogTest, ReceivedTextIsStoredByteForByte) {
    const std::string hostile[] = {
        "it's \"quoted\"",
        std::string("nul\0inside", 10),
        "'); DROP TABLE calls; --",
        "x'; DELETE FROM pages WHERE '1'='1",
        "\xff\xfe invalid \xc3 UTF-8",
        "line\nbreak\r\x1b[2J",
    };
    auto sink = open(db_);
    ASSERT_TRUE(sink);
    uint64_t id = 1;
    for (const std::string &text : hostile) {
        sink->take(*std::make_unique<event>(page(static_cast<double>(id), 77, text)));
        event call = dmr_call(id, event_kind::call, static_cast<double>(id), 1, 2);
        call.alias = text;
        sink->take(call);
        event ysf;
        ysf.protocol = event_protocol::ysf;
        ysf.call_id = 100 + id;
        ysf.ysf_source = text;
        sink->take(ysf);
        ++id;
    }
    sink->finish(false);
    std::string pages, aliases, signs;
    for (const std::string &text : hostile) {
        pages += hex(text) + "\n";
        aliases += hex(text) + "\n";
        signs += hex(text) + "\n";
    }
    EXPECT_EQ(sql("SELECT hex(CAST(message AS BLOB)) FROM pages ORDER BY id"), pages);
    EXPECT_EQ(sql("SELECT hex(CAST(alias AS BLOB)) FROM calls WHERE protocol = 'DMR' ORDER BY id"), aliases);
    EXPECT_EQ(sql("SELECT hex(CAST(source AS BLOB)) FROM calls WHERE protocol = 'YSF' ORDER BY id"), signs);
    EXPECT_EQ(sql("SELECT count(*) FROM calls"), "12\n");
}

TEST_F(LogTest, WhatCannotBeALogIsRefusedAtOnce) {
    std::ofstream(dir_ + "/text.db") << "this is not a database, but it is long enough to have a header of sorts....."
                                     << std::string(200, 'x');
    ASSERT_EQ(sql("CREATE TABLE t(a); PRAGMA user_version=9;", dir_ + "/newer.db"), "");
    struct {
        std::string path, says;
    } cases[] = {
        {dir_ + "/no/such/folder/log.db", "cannot open"},
        {dir_ + "/text.db", "not a database"},
        {dir_ + "/newer.db", "newer zelvane"},
    };
    for (const auto &c : cases) {
        std::string error;
        sqlite_sink_options options;
        options.path = c.path;
        EXPECT_FALSE(open_sqlite_sink(options, error)) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// A reader (the sqlite3 shell) queries while a writer process logs events:
// every query succeeds and sees the log grow.
TEST_F(LogTest, TheShellReadsWhileAWriterLogs) {
    running_program writer = start_program(SINK_HARNESS_PATH, {"--db", db_, "--events", "400", "--pace-ms", "3"});
    ASSERT_GT(writer.pid, 0);
    std::vector<long> seen;
    for (int i = 0; i < 400; ++i) {
        // As a dashboard would, the reader allows for the moments of
        // exclusive locking at the writer's start and end.
        program_result r = run_program(
            shell_, {"-batch", "-noheader", "-cmd", ".timeout 2000", db_, "SELECT count(*) FROM pages"}, "");
        // Until the writer has made its tables and switched to WAL mode (a
        // moment of exclusive locking), there is nothing to read.
        if (seen.empty() && r.exit_code != 0) continue;
        ASSERT_EQ(r.exit_code, 0) << r.err;
        ASSERT_EQ(r.err, "");
        if (!r.out.empty()) seen.push_back(std::stol(r.out));
        if (!seen.empty() && seen.back() == 100) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    program_result done = finish_program(writer);
    EXPECT_EQ(done.exit_code, 0) << done.err;
    ASSERT_FALSE(seen.empty());
    bool between = false;
    for (size_t i = 0; i < seen.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(seen[i], seen[i - 1]);
        }
        between = between || (seen[i] > 0 && seen[i] < 100);
    }
    EXPECT_TRUE(between) << "no query ran while the writer was logging";
    EXPECT_EQ(sql("SELECT count(*) FROM pages"), "100\n");
}

// What the harness's first n events (0 .. n-1) leave in the log: calls,
// sources, closed calls and pages.
std::string rows_after(long n) {
    long calls = (n + 3) / 4, sources = n / 4 * 2 + (n % 4 >= 1 ? 1 : 0) + (n % 4 >= 2 ? 1 : 0);
    long closed = n / 4 + (n % 4 == 3 ? 1 : 0), pages = n / 4;
    return std::to_string(calls) + "|" + std::to_string(sources) + "|" + std::to_string(closed) + "|" +
           std::to_string(pages) + "\n";
}

TEST_F(LogTest, KillingTheWriterLosesAtMostTheEventInFlight) {
    for (int round = 0; round < 3; ++round) {
        std::string db = dir_ + "/killed" + std::to_string(round) + ".db";
        running_program writer = start_program(SINK_HARNESS_PATH, {"--db", db, "--events", "1000000"});
        ASSERT_GT(writer.pid, 0);
        // Let it write a while (a different stretch each round), then kill it
        // in the middle of its work.
        std::string out = read_output(writer, 20000 + 15000 * round, 30000);
        kill(writer.pid, SIGKILL);
        program_result rest = finish_program(writer);
        EXPECT_EQ(rest.signal, SIGKILL);
        out += rest.out;
        size_t last = out.rfind("committed ");
        ASSERT_NE(last, std::string::npos);
        long committed = std::stol(out.substr(last + 10));
        ASSERT_GT(committed, 50);
        EXPECT_EQ(sql("PRAGMA integrity_check", db), "ok\n");
        std::string rows =
            sql("SELECT (SELECT count(*) FROM calls), (SELECT count(*) FROM call_sources), "
                "(SELECT count(*) FROM calls WHERE stop_time IS NOT NULL), (SELECT count(*) FROM pages)",
                db);
        // Every event it reported as written is there; the one being written
        // when it died may or may not be.
        EXPECT_TRUE(rows == rows_after(committed + 1) || rows == rows_after(committed + 2))
            << "committed " << committed << ", rows " << rows;
        EXPECT_EQ(sql("SELECT count(*) FROM runs WHERE stopped_utc IS NULL", db), "1\n");
    }
}

// Another writer holds the database's write lock: one line says so,
// decoding goes on, and logging resumes once the lock is gone.
TEST_F(LogTest, ALockedDatabaseCostsOneLineAndTheLockedStretch) {
    auto sink = open(db_, 200);
    ASSERT_TRUE(sink);
    sink->take(*std::make_unique<event>(page(1.0, 1, "before")));
    ASSERT_TRUE(sink->drain(5000));

    running_program holder = start_program(shell_, {"-batch", db_});
    ASSERT_GT(holder.pid, 0);
    ASSERT_TRUE(write_input(holder, "BEGIN IMMEDIATE;\nINSERT INTO runs(started_utc) VALUES ('x');\nSELECT 'held';\n"));
    ASSERT_EQ(read_output(holder, 5), "held\n");

    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) sink->take(*std::make_unique<event>(page(2.0 + i, 2, "while locked")));
    // take never waits for the database.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
    ASSERT_TRUE(sink->drain(10000));
    std::vector<std::string> said = lines();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("locked"), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find('\n'), std::string::npos);

    ASSERT_TRUE(write_input(holder, "ROLLBACK;\n"));
    program_result shell_done = finish_program(holder);
    EXPECT_EQ(shell_done.exit_code, 0) << shell_done.err;
    sink->take(*std::make_unique<event>(page(9.0, 3, "after")));
    sink->finish(false);
    said = lines();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[1].find("writing again; 3 events were not logged"), std::string::npos) << said[1];
    EXPECT_EQ(sql("SELECT message FROM pages ORDER BY id"), "before\nafter\n");
}

// Events come faster than a locked log can take them: the queue keeps its
// bound, and every event is either logged or counted in a line.
TEST_F(LogTest, AStalledLogKeepsItsQueueBoundAndCountsWhatItDrops) {
    auto sink = open(db_, 300, 4);
    ASSERT_TRUE(sink);
    running_program holder = start_program(shell_, {"-batch", db_});
    ASSERT_GT(holder.pid, 0);
    ASSERT_TRUE(write_input(holder, "BEGIN IMMEDIATE;\nINSERT INTO runs(started_utc) VALUES ('x');\nSELECT 'held';\n"));
    ASSERT_EQ(read_output(holder, 5), "held\n");
    for (int i = 0; i < 20; ++i) sink->take(*std::make_unique<event>(page(i, 2, "stalled")));
    ASSERT_TRUE(sink->drain(20000));
    ASSERT_TRUE(write_input(holder, "ROLLBACK;\n"));
    finish_program(holder);
    sink->take(*std::make_unique<event>(page(30, 3, "after")));
    sink->finish(false);

    long dropped = 0, skipped = 0;
    for (const std::string &line : lines()) {
        if (line.find("dropped: the log fell behind (queue of 4 full)") != std::string::npos)
            dropped += std::stol(line);
        size_t again = line.find("writing again; ");
        if (again != std::string::npos) skipped += std::stol(line.substr(again + 15));
    }
    EXPECT_GE(dropped, 15) << "at most the queue's 4 and the one being written wait";
    EXPECT_EQ(dropped + skipped, 20);
    EXPECT_EQ(sql("SELECT message FROM pages ORDER BY id"), "after\n");
}

// The file system fills up under the log: one line, no crash, and the log
// goes on once there is room again.
TEST_F(LogTest, AFullDiskCostsOneLineAndTheFullStretch) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    std::string mnt = dir_ + "/small";
    ASSERT_EQ(mkdir(mnt.c_str(), 0700), 0);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=512k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    struct unmount {
        std::string path;
        ~unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount_at_end{mnt};

    std::string db = mnt + "/log.db";
    {
        auto sink = open(db);
        ASSERT_TRUE(sink);
        // Fill the rest of the disk.
        {
            std::ofstream filler(mnt + "/filler", std::ios::binary);
            std::string block(4096, 'f');
            for (int i = 0; i < 1024 && filler; ++i) filler.write(block.data(), block.size());
        }
        std::string text(2000, 'p');
        int fed = 0;
        while (lines().empty() && fed < 2000) {
            sink->take(*std::make_unique<event>(page(fed, 5, text + std::to_string(fed))));
            ASSERT_TRUE(sink->drain(5000));
            ++fed;
        }
        ASSERT_EQ(lines().size(), 1u) << "the full disk was never noticed";
        EXPECT_NE(lines()[0].find("full"), std::string::npos) << lines()[0];
        for (int i = 0; i < 20; ++i) sink->take(*std::make_unique<event>(page(5000 + i, 6, text)));
        ASSERT_TRUE(sink->drain(10000));
        EXPECT_EQ(lines().size(), 1u);

        ASSERT_EQ(unlink((mnt + "/filler").c_str()), 0);
        sink->take(*std::make_unique<event>(page(9000, 7, "room again")));
        sink->finish(false);
        ASSERT_EQ(lines().size(), 2u);
        EXPECT_NE(lines()[1].find("writing again; 21 events were not logged"), std::string::npos) << lines()[1];
    }
    EXPECT_EQ(sql("PRAGMA integrity_check", db), "ok\n");
    EXPECT_EQ(sql("SELECT message FROM pages WHERE address = 7", db), "room again\n");
}

}  // namespace
