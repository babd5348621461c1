// SPDX-License-Identifier: MIT
#pragma once
// Name lists: CSV files that map a number (a talkgroup, a radio id, a pager
// capcode) to a name, and the names they give to the events.
//
// Two layouts are read: a plain "id,name" file without a header, and the
// RadioID.net user list (a header naming RADIO_ID, CALLSIGN, FIRST_NAME, ...;
// the name shown is the call sign and first name). Fields may be quoted as
// RFC 4180 says ("" inside quotes is one quote, a quoted field may span
// lines); UTF-8 with or without a byte order mark; LF or CRLF line ends.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "event.h"

struct name_table {
    std::unordered_map<long, std::string> by_id;
    // RadioID.net layout only: call sign (upper case) to its name, so that a
    // System Fusion talker, known by call sign alone, is named too.
    std::unordered_map<std::string, std::string> by_call;
};

struct name_tables {
    name_table talkgroups, radio_ids, capcodes;
};

// At most this many warnings name a bad line; one more says how many were
// left unnamed.
inline constexpr size_t name_warning_limit = 20;

// Reads a name list from text; label names it in the warnings ("FILE:LINE:
// ..."). Bad lines are skipped with a warning; the rest loads.
name_table parse_names(std::string_view text, const std::string &label, std::vector<std::string> &warnings);

// Reads the name list in path. False with a one-line reason when the file
// cannot be read; warnings as parse_names gives them.
bool load_names(const std::string &path, name_table &table, std::vector<std::string> &warnings, std::string &error);

// The three lists of --talkgroups, --radio-ids and --capcodes (an empty
// path: no list). False with a one-line reason when one cannot be read.
bool load_name_tables(const std::string &talkgroups, const std::string &radio_ids, const std::string &capcodes,
                      name_tables &tables, std::vector<std::string> &warnings, std::string &error);

// Fills the names of e from the tables where they match: a DMR source from
// the radio ids, a group target from the talkgroups, a direct target from
// the radio ids; a System Fusion source by call sign from the radio ids; a
// page's address from the capcodes.
void apply_names(const name_tables &tables, event &e);
