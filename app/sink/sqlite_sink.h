// SPDX-License-Identifier: MIT
#pragma once
// The call and page log (--db FILE): every call, the sources within it, every
// page and every position, in an SQLite database that other programs (the
// sqlite3 shell, a dashboard) may read while zelvane writes it.
//
// The database is in WAL mode, so readers never wait for the writer nor the
// writer for them. Each event is one transaction, committed when the event
// happens (synchronous=NORMAL: a crash or kill -9 of zelvane loses at most
// the event being written; only a power cut may lose the last commits). The
// writing is done on a thread of the sink's own behind a bounded queue: a
// slow disk or a reader holding the write lock never holds back decoding. A
// failed write (full disk, a database locked by another writer) is reported
// once on standard error and the event is skipped; logging resumes as soon
// as writes succeed again (and says how many events it missed). Received
// text goes into the database as bound parameters, byte for byte.
//
// Schema (user_version 1); times are seconds of input from the start of the
// run ("time") and ISO 8601 UTC with milliseconds ("utc", NULL where the
// wall-clock time is not known, as for a file without --start-time):
//
//   runs          one row per run of zelvane that opened the log
//     id INTEGER PRIMARY KEY, started_utc TEXT, stopped_utc TEXT (NULL: the
//     run is going on, or was killed)
//   calls         one row per DMR or System Fusion call: inserted at the
//                 call's first event, updated while it runs, closed at its end
//     id INTEGER PRIMARY KEY, run INTEGER (runs.id), run_call INTEGER (the
//     call's number within its run), protocol TEXT ('DMR', 'YSF'),
//     frequency INTEGER (Hz; NULL for a narrowband input), station TEXT,
//     slot INTEGER (DMR TS1/TS2; NULL for YSF), type TEXT ('group',
//     'direct'), source, target (DMR: radio id / talkgroup as INTEGER; YSF:
//     call signs as TEXT; source is the latest talker), source_name TEXT,
//     target_name TEXT (from the name lists), alias TEXT (talker alias),
//     mode TEXT, radio TEXT (YSF), start_time REAL, start_utc TEXT,
//     stop_time REAL, stop_utc TEXT (NULL while the call runs), duration REAL
//     (seconds; kept up to date while the call runs), audio TEXT (speech
//     file name)
//   call_sources  each source heard within a call, in order
//     id INTEGER PRIMARY KEY, call_id INTEGER (calls.id), source,
//     source_name TEXT, alias TEXT, time REAL, utc TEXT (when it started)
//   pages         one row per POCSAG page; a page received again within the
//                 duplicate window counts on its row
//     id INTEGER PRIMARY KEY, run INTEGER, station TEXT, frequency INTEGER,
//     frequencies TEXT (the channels a simulcast page was heard on, Hz,
//     comma-separated), baud INTEGER, address INTEGER (capcode), function
//     INTEGER (0-3, NULL unknown), message TEXT, name TEXT, repeats INTEGER
//     (times received in all), time REAL, utc TEXT (first reception),
//     last_time REAL, last_utc TEXT (latest reception)
//   positions     every position reported
//     id INTEGER PRIMARY KEY, call_id INTEGER (calls.id, NULL outside a
//     call), protocol TEXT, source, lat REAL, lon REAL, time REAL, utc TEXT
//   Indexes: calls(start_utc), calls(target, start_utc), calls(start_time),
//   pages(utc), pages(address, utc), call_sources(call_id),
//   positions(call_id), positions(utc).

#include <functional>
#include <memory>
#include <string>

#include "sink.h"

struct sqlite_sink_options {
    std::string path;
    size_t queue_limit = 8192;   // events waiting to be written; the oldest is dropped beyond
    int busy_timeout_ms = 1000;  // how long one write waits for another writer's lock
    // Where the one-line reports go (no newline; "zelvane: " is not part of
    // it). Empty: standard error, as "zelvane: call log: ...".
    std::function<void(const std::string &)> report;
};

class sqlite_sink_impl;

class sqlite_sink : public event_sink {
   public:
    ~sqlite_sink() override;
    void take(event &e) override;
    void finish(bool interrupted) override;

    // Waits until every event taken so far is written (or given up), for at
    // most wait_ms; true if so. For tests and harnesses.
    bool drain(int wait_ms);

   private:
    friend std::unique_ptr<sqlite_sink> open_sqlite_sink(const sqlite_sink_options &options, std::string &error);
    explicit sqlite_sink(std::unique_ptr<sqlite_sink_impl> impl);
    std::unique_ptr<sqlite_sink_impl> impl_;
};

// Opens (creating if need be) the log at options.path, sets WAL mode and the
// schema, and starts the writer. Null with a one-line error (no newline) if
// the file cannot be opened or is not a log zelvane can write.
std::unique_ptr<sqlite_sink> open_sqlite_sink(const sqlite_sink_options &options, std::string &error);

// The factory for the options: --db FILE.
std::unique_ptr<event_sink> make_sqlite_sink(const std::string &path, std::string &error);
