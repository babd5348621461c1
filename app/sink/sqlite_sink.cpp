// SPDX-License-Identifier: MIT
#include "sqlite_sink.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "sink_worker.h"

namespace {

const int schema_version = 1;

const char *const schema = R"sql(
CREATE TABLE IF NOT EXISTS runs (
  id INTEGER PRIMARY KEY,
  started_utc TEXT,
  stopped_utc TEXT
);
CREATE TABLE IF NOT EXISTS calls (
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL REFERENCES runs(id),
  run_call INTEGER NOT NULL,
  protocol TEXT NOT NULL,
  frequency INTEGER,
  station TEXT,
  slot INTEGER,
  type TEXT,
  source,
  target,
  source_name TEXT,
  target_name TEXT,
  alias TEXT,
  mode TEXT,
  radio TEXT,
  start_time REAL NOT NULL,
  start_utc TEXT,
  stop_time REAL,
  stop_utc TEXT,
  duration REAL,
  audio TEXT,
  UNIQUE (run, run_call)
);
CREATE TABLE IF NOT EXISTS call_sources (
  id INTEGER PRIMARY KEY,
  call_id INTEGER NOT NULL REFERENCES calls(id),
  source,
  source_name TEXT,
  alias TEXT,
  time REAL NOT NULL,
  utc TEXT
);
CREATE TABLE IF NOT EXISTS pages (
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL REFERENCES runs(id),
  station TEXT,
  frequency INTEGER,
  frequencies TEXT,
  baud INTEGER,
  address INTEGER NOT NULL,
  function INTEGER,
  message TEXT,
  name TEXT,
  repeats INTEGER NOT NULL DEFAULT 1,
  time REAL NOT NULL,
  utc TEXT,
  last_time REAL,
  last_utc TEXT
);
CREATE TABLE IF NOT EXISTS positions (
  id INTEGER PRIMARY KEY,
  call_id INTEGER REFERENCES calls(id),
  protocol TEXT NOT NULL,
  source,
  lat REAL NOT NULL,
  lon REAL NOT NULL,
  time REAL NOT NULL,
  utc TEXT
);
CREATE INDEX IF NOT EXISTS calls_start_utc ON calls(start_utc);
CREATE INDEX IF NOT EXISTS calls_target ON calls(target, start_utc);
CREATE INDEX IF NOT EXISTS calls_start_time ON calls(start_time);
CREATE INDEX IF NOT EXISTS pages_utc ON pages(utc);
CREATE INDEX IF NOT EXISTS pages_address ON pages(address, utc);
CREATE INDEX IF NOT EXISTS call_sources_call ON call_sources(call_id);
CREATE INDEX IF NOT EXISTS positions_call ON positions(call_id);
CREATE INDEX IF NOT EXISTS positions_utc ON positions(utc);
)sql";

// A call of the run, as the log knows it: its row, and what the next event
// is compared with to tell a new talker or a new position.
struct call_state {
    sqlite3_int64 row = 0;
    std::string source;  // the source's key (DMR id or YSF call sign)
    sqlite3_int64 source_row = 0;
    std::string alias;
    bool has_position = false;
    double lat = 0, lon = 0;
};

// More calls than this open at once can only come from calls whose end was
// never reported; the oldest are forgotten (their rows stay as they are).
const size_t open_calls_limit = 4096;

void bind_text(sqlite3_stmt *s, int i, const std::string &text) {
    if (text.empty())
        sqlite3_bind_null(s, i);
    else
        sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void bind_utc(sqlite3_stmt *s, int i, const std::string &utc) { bind_text(s, i, utc); }

void bind_frequency(sqlite3_stmt *s, int i, int64_t hz) {
    if (hz > 0)
        sqlite3_bind_int64(s, i, hz);
    else
        sqlite3_bind_null(s, i);
}

// A DMR source or target is a number, a System Fusion one a call sign.
void bind_party(sqlite3_stmt *s, int i, const event &e, bool source) {
    if (e.protocol == event_protocol::ysf)
        sqlite3_bind_text(s, i, source ? e.ysf_source.data() : e.ysf_target.data(),
                          static_cast<int>(source ? e.ysf_source.size() : e.ysf_target.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_int64(s, i, source ? e.source : e.target);
}

std::string party_key(const event &e) {
    return e.protocol == event_protocol::ysf ? "y" + e.ysf_source : "d" + std::to_string(e.source);
}

struct statement {
    sqlite3_stmt *s = nullptr;
    ~statement() { sqlite3_finalize(s); }
};

}  // namespace

class sqlite_sink_impl {
   public:
    sqlite_sink_impl(const sqlite_sink_options &options) : options_(options), queue_(options.queue_limit) {}

    ~sqlite_sink_impl() {
        stop(true);
        for (statement *st : all_statements()) {
            sqlite3_finalize(st->s);
            st->s = nullptr;
        }
        if (db_) sqlite3_close(db_);
    }

    bool open(std::string &error) {
        int rc = sqlite3_open_v2(options_.path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            error =
                "cannot open the call log " + options_.path + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
            return false;
        }
        sqlite3_extended_result_codes(db_, 1);
        // Setting the log up may wait longer than one event's write for
        // another writer: nothing is being decoded yet.
        sqlite3_busy_timeout(db_, 5000);
        std::string wal;
        if (!query_text("PRAGMA journal_mode=WAL", wal, error)) return false;
        if (wal != "wal") {
            error = "the call log " + options_.path + " cannot be put in WAL mode (journal mode " + wal + ")";
            return false;
        }
        std::string version;
        if (!query_text("PRAGMA user_version", version, error)) return false;
        if (std::atoi(version.c_str()) > schema_version) {
            error = "the call log " + options_.path + " was made by a newer zelvane (schema " + version + ")";
            return false;
        }
        if (!exec("PRAGMA synchronous=NORMAL", error) || !exec("BEGIN IMMEDIATE", error)) return false;
        if (!exec(schema, error) || !exec("PRAGMA user_version=" + std::to_string(schema_version), error) ||
            !exec("INSERT INTO runs(started_utc) VALUES (strftime('%Y-%m-%dT%H:%M:%fZ','now'))", error) ||
            !exec("COMMIT", error)) {
            std::string ignored;
            exec("ROLLBACK", ignored);
            return false;
        }
        run_ = sqlite3_last_insert_rowid(db_);
        if (!prepare(error)) return false;
        sqlite3_busy_timeout(db_, options_.busy_timeout_ms);
        worker_ = std::thread([this] { work(); });
        return true;
    }

    void take(const event &e) {
        if (e.kind == event_kind::signal || e.kind == event_kind::csbk) return;
        if (e.kind == event_kind::data && !e.has_position) return;
        queue_.push(e);
    }

    bool drain(int wait_ms) { return queue_.wait_idle(std::chrono::milliseconds(wait_ms)); }

    // Ends the writer once it has written what it holds; while writes fail,
    // what is left after a few seconds is given up.
    void stop(bool interrupted) {
        (void)interrupted;
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(state_mutex_);
            finish_by_ = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            finishing_ = true;
        }
        queue_.close();
        worker_.join();
        if (!failing_) {
            std::string error;
            sqlite3_bind_int64(close_run_.s, 1, run_);
            step(close_run_, error);
        }
        note_dropped();
        if (failing_) {
            say(std::to_string(skipped_) + " event" + (skipped_ == 1 ? " was" : "s were") +
                " not logged (the log could not be written)");
        }
    }

   private:
    void say(const std::string &line) {
        if (options_.report)
            options_.report(line);
        else
            std::fprintf(stderr, "zelvane: call log: %s\n", line.c_str());
    }

    bool exec(const std::string &sql, std::string &error) {
        char *message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
        error = "the call log " + options_.path + ": " + (message ? message : sqlite3_errmsg(db_));
        sqlite3_free(message);
        return false;
    }

    bool query_text(const char *sql, std::string &out, std::string &error) {
        statement st;
        if (sqlite3_prepare_v2(db_, sql, -1, &st.s, nullptr) != SQLITE_OK || sqlite3_step(st.s) != SQLITE_ROW) {
            error = "the call log " + options_.path + ": " + sqlite3_errmsg(db_);
            return false;
        }
        const unsigned char *text = sqlite3_column_text(st.s, 0);
        out = text ? reinterpret_cast<const char *>(text) : "";
        return true;
    }

    std::vector<statement *> all_statements() {
        return {&begin_,        &commit_,       &rollback_, &upsert_call_, &close_call_, &add_source_,
                &source_alias_, &add_position_, &add_page_, &repeat_page_, &close_run_};
    }

    bool prepare(std::string &error) {
        const std::pair<statement *, const char *> all[] = {
            {&begin_, "BEGIN IMMEDIATE"},
            {&commit_, "COMMIT"},
            {&rollback_, "ROLLBACK"},
            {&upsert_call_,
             "INSERT INTO calls(run, run_call, protocol, frequency, station, slot, type, source, target, "
             "source_name, target_name, alias, mode, radio, start_time, start_utc, duration) "
             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, 0) "
             "ON CONFLICT(run, run_call) DO UPDATE SET source = excluded.source, target = excluded.target, "
             "type = coalesce(excluded.type, type), "
             "source_name = CASE WHEN excluded.source IS source THEN coalesce(excluded.source_name, source_name) "
             "ELSE excluded.source_name END, "
             "target_name = coalesce(excluded.target_name, target_name), alias = coalesce(excluded.alias, alias), "
             "mode = coalesce(excluded.mode, mode), radio = coalesce(excluded.radio, radio), "
             "duration = max(excluded.start_time - start_time, 0) RETURNING id"},
            {&close_call_, "UPDATE calls SET stop_time = ?2, stop_utc = ?3, duration = ?4, audio = ?5 WHERE id = ?1"},
            {&add_source_,
             "INSERT INTO call_sources(call_id, source, source_name, alias, time, utc) VALUES (?1, ?2, ?3, ?4, ?5, "
             "?6)"},
            {&source_alias_, "UPDATE call_sources SET alias = ?2 WHERE id = ?1"},
            {&add_position_,
             "INSERT INTO positions(call_id, protocol, source, lat, lon, time, utc) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
             "?7)"},
            {&add_page_,
             "INSERT INTO pages(run, station, frequency, frequencies, baud, address, function, message, name, repeats, "
             "time, utc, last_time, last_utc) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?11, ?12)"},
            {&repeat_page_,
             "UPDATE pages SET repeats = max(repeats, ?1), last_time = ?2, last_utc = coalesce(?3, last_utc) "
             "WHERE id = (SELECT id FROM pages WHERE run = ?4 AND address = ?5 AND function IS ?6 AND message IS ?7 "
             "ORDER BY id DESC LIMIT 1)"},
            {&close_run_, "UPDATE runs SET stopped_utc = strftime('%Y-%m-%dT%H:%M:%fZ','now') WHERE id = ?1"},
        };
        for (const auto &[st, sql] : all) {
            if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st->s, nullptr) != SQLITE_OK) {
                error = "the call log " + options_.path + ": " + sqlite3_errmsg(db_);
                return false;
            }
        }
        return true;
    }

    // Runs a statement to its end; a RETURNING row is kept in row.
    bool step(statement &st, std::string &error, sqlite3_int64 *row = nullptr) {
        int rc;
        while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
            if (row) *row = sqlite3_column_int64(st.s, 0);
        bool ok = rc == SQLITE_DONE;
        if (!ok) error = sqlite3_errmsg(db_);
        sqlite3_reset(st.s);
        sqlite3_clear_bindings(st.s);
        return ok;
    }

    void work() {
        event e;
        while (queue_.pop(e, std::chrono::milliseconds(500))) {
            if (give_up_now()) {
                ++skipped_;
            } else {
                write_event(e);
            }
            queue_.done();
            note_dropped();
        }
    }

    bool give_up_now() {
        std::lock_guard<std::mutex> lock(state_mutex_);
        return finishing_ && failing_ && std::chrono::steady_clock::now() > finish_by_;
    }

    void note_dropped() {
        uint64_t dropped = queue_.take_dropped();
        if (dropped > 0)
            say(std::to_string(dropped) + " event" + (dropped == 1 ? "" : "s") +
                " dropped: the log fell behind (queue of " + std::to_string(queue_.limit()) + " full)");
    }

    // One event, one transaction: written whole or not at all.
    void write_event(const event &e) {
        std::string error;
        bool ok = step(begin_, error);
        if (ok) {
            ok = e.kind == event_kind::page          ? write_page(e, error)
                 : e.kind == event_kind::page_repeat ? write_repeat(e, error)
                 : e.kind == event_kind::data        ? write_data_position(e, error)
                                                     : write_call(e, error);
        }
        if (ok) ok = step(commit_, error);
        if (ok) {
            if (failing_) {
                failing_ = false;
                say("writing again; " + std::to_string(skipped_) + " event" + (skipped_ == 1 ? " was" : "s were") +
                    " not logged");
                skipped_ = 0;
            }
            return;
        }
        if (!sqlite3_get_autocommit(db_)) {
            std::string ignored;
            step(rollback_, ignored);
        }
        // A call whose rows were rolled back is looked up afresh by its next
        // event (the upsert finds or makes its row).
        if (e.call_id != 0) calls_.erase(e.call_id);
        ++skipped_;
        if (!failing_) {
            failing_ = true;
            say("cannot write " + options_.path + ": " + error + "; events are not logged until it can be written");
        }
    }

    bool write_call(const event &e, std::string &error) {
        sqlite3_stmt *s = upsert_call_.s;
        sqlite3_bind_int64(s, 1, run_);
        sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(e.call_id));
        sqlite3_bind_text(s, 3, event_protocol_name(e.protocol), -1, SQLITE_STATIC);
        bind_frequency(s, 4, e.frequency);
        bind_text(s, 5, e.station);
        if (e.protocol == event_protocol::dmr) sqlite3_bind_int(s, 6, e.slot);
        bind_text(s, 7, e.type);
        bind_party(s, 8, e, true);
        bind_party(s, 9, e, false);
        bind_text(s, 10, e.source_name);
        bind_text(s, 11, e.target_name);
        bind_text(s, 12, e.alias);
        bind_text(s, 13, e.mode);
        bind_text(s, 14, e.radio);
        sqlite3_bind_double(s, 15, e.time);
        bind_utc(s, 16, e.utc);
        call_state fresh;
        if (!step(upsert_call_, error, &fresh.row)) return false;

        auto found = calls_.find(e.call_id);
        call_state state = found != calls_.end() ? found->second : call_state{};
        state.row = fresh.row;
        std::string key = party_key(e);
        if (state.source != key || state.source_row == 0) {
            s = add_source_.s;
            sqlite3_bind_int64(s, 1, state.row);
            bind_party(s, 2, e, true);
            bind_text(s, 3, e.source_name);
            bind_text(s, 4, e.alias);
            sqlite3_bind_double(s, 5, e.time);
            bind_utc(s, 6, e.utc);
            if (!step(add_source_, error)) return false;
            state.source = key;
            state.source_row = sqlite3_last_insert_rowid(db_);
            state.alias = e.alias;
        } else if (!e.alias.empty() && e.alias != state.alias) {
            sqlite3_bind_int64(source_alias_.s, 1, state.source_row);
            bind_text(source_alias_.s, 2, e.alias);
            if (!step(source_alias_, error)) return false;
            state.alias = e.alias;
        }
        if (e.has_position && (!state.has_position || state.lat != e.lat || state.lon != e.lon)) {
            if (!write_position(e, &state.row, error)) return false;
            state.has_position = true;
            state.lat = e.lat;
            state.lon = e.lon;
        }
        if (e.kind == event_kind::call_end) {
            s = close_call_.s;
            sqlite3_bind_int64(s, 1, state.row);
            sqlite3_bind_double(s, 2, e.time);
            bind_utc(s, 3, e.utc);
            sqlite3_bind_double(s, 4, e.duration);
            bind_text(s, 5, e.audio);
            if (!step(close_call_, error)) return false;
            calls_.erase(e.call_id);
        } else {
            calls_[e.call_id] = state;
            while (calls_.size() > open_calls_limit) calls_.erase(calls_.begin());
        }
        return true;
    }

    // A position from a data event belongs to the call it came in, if any.
    bool write_data_position(const event &e, std::string &error) {
        auto call = e.call_id != 0 ? calls_.find(e.call_id) : calls_.end();
        return write_position(e, call != calls_.end() ? &call->second.row : nullptr, error);
    }

    bool write_position(const event &e, const sqlite3_int64 *call_row, std::string &error) {
        sqlite3_stmt *s = add_position_.s;
        if (call_row) sqlite3_bind_int64(s, 1, *call_row);
        sqlite3_bind_text(s, 2, event_protocol_name(e.protocol), -1, SQLITE_STATIC);
        bind_party(s, 3, e, true);
        sqlite3_bind_double(s, 4, e.lat);
        sqlite3_bind_double(s, 5, e.lon);
        sqlite3_bind_double(s, 6, e.time);
        bind_utc(s, 7, e.utc);
        return step(add_position_, error);
    }

    bool write_page(const event &e, std::string &error) {
        sqlite3_stmt *s = add_page_.s;
        sqlite3_bind_int64(s, 1, run_);
        bind_text(s, 2, e.station);
        bind_frequency(s, 3, e.frequency > 0 ? e.frequency : (e.frequencies.empty() ? 0 : e.frequencies.front()));
        if (e.frequencies.size() > 1) {
            std::string list;
            for (int64_t hz : e.frequencies) list += (list.empty() ? "" : ",") + std::to_string(hz);
            bind_text(s, 4, list);
        }
        sqlite3_bind_int(s, 5, e.baud);
        sqlite3_bind_int64(s, 6, e.address);
        if (e.function >= 0) sqlite3_bind_int(s, 7, e.function);
        // An empty message (a tone-only page) is stored as '' so that its
        // repeats find it.
        sqlite3_bind_text(s, 8, e.message.data(), static_cast<int>(e.message.size()), SQLITE_TRANSIENT);
        bind_text(s, 9, e.name);
        sqlite3_bind_int(s, 10, e.repeats > 1 ? e.repeats : 1);
        sqlite3_bind_double(s, 11, e.time);
        bind_utc(s, 12, e.utc);
        return step(add_page_, error);
    }

    // A page heard again counts on the row of its first reception; one whose
    // first reception was never logged (the disk was full) gets its row now.
    bool write_repeat(const event &e, std::string &error) {
        sqlite3_stmt *s = repeat_page_.s;
        sqlite3_bind_int(s, 1, e.repeats);
        sqlite3_bind_double(s, 2, e.time);
        bind_utc(s, 3, e.utc);
        sqlite3_bind_int64(s, 4, run_);
        sqlite3_bind_int64(s, 5, e.address);
        if (e.function >= 0) sqlite3_bind_int(s, 6, e.function);
        sqlite3_bind_text(s, 7, e.message.data(), static_cast<int>(e.message.size()), SQLITE_TRANSIENT);
        if (!step(repeat_page_, error)) return false;
        if (sqlite3_changes(db_) > 0) return true;
        return write_page(e, error);
    }

    sqlite_sink_options options_;
    sqlite3 *db_ = nullptr;
    sqlite3_int64 run_ = 0;
    statement begin_, commit_, rollback_, upsert_call_, close_call_, add_source_, source_alias_, add_position_,
        add_page_, repeat_page_, close_run_;
    bounded_queue<event> queue_;
    std::thread worker_;

    // The writer thread's own.
    std::map<uint64_t, call_state> calls_;
    bool failing_ = false;
    uint64_t skipped_ = 0;

    std::mutex state_mutex_;
    bool finishing_ = false;
    std::chrono::steady_clock::time_point finish_by_;
};

sqlite_sink::sqlite_sink(std::unique_ptr<sqlite_sink_impl> impl) : impl_(std::move(impl)) {}
sqlite_sink::~sqlite_sink() = default;
void sqlite_sink::take(event &e) { impl_->take(e); }
void sqlite_sink::finish(bool interrupted) { impl_->stop(interrupted); }
bool sqlite_sink::drain(int wait_ms) { return impl_->drain(wait_ms); }

std::unique_ptr<sqlite_sink> open_sqlite_sink(const sqlite_sink_options &options, std::string &error) {
    auto impl = std::make_unique<sqlite_sink_impl>(options);
    if (!impl->open(error)) return nullptr;
    return std::unique_ptr<sqlite_sink>(new sqlite_sink(std::move(impl)));
}

std::unique_ptr<event_sink> make_sqlite_sink(const std::string &path, std::string &error) {
    sqlite_sink_options options;
    options.path = path;
    return open_sqlite_sink(options, error);
}
