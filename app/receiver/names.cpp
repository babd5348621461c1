// SPDX-License-Identifier: MIT
#include "names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "received_text.h"

namespace {

// A name longer than this is cut (at a character boundary): a list is the
// user's, but what it names ends up in every output line.
constexpr size_t longest_name = 200;
// A list larger than this is refused rather than read into memory (the
// RadioID.net user list is about 20 MB).
constexpr std::streamoff largest_file = 512ll << 20;

struct record {
    std::vector<std::string> fields;
    size_t line = 0;      // where the record starts, from 1
    bool broken = false;  // a quote was never closed
};

// The next record of RFC 4180 CSV at text[at] into r (its strings reused
// from record to record: a list has hundreds of thousands), moving at past
// it and line past its line ends.
void next_record(std::string_view text, size_t &at, size_t &line, record &r) {
    r.line = line;
    r.broken = false;
    size_t count = 0;
    while (true) {
        if (r.fields.size() <= count) r.fields.emplace_back();
        std::string &field = r.fields[count++];
        field.clear();
        size_t start = at;
        while (start < text.size() && text[start] == ' ') ++start;
        if (start < text.size() && text[start] == '"') {
            // A quoted field: up to the closing quote, "" being one quote;
            // it may hold ',' and line ends.
            at = start + 1;
            while (true) {
                size_t quote = text.find('"', at);
                size_t stop = quote == std::string_view::npos ? text.size() : quote;
                line += static_cast<size_t>(std::count(text.begin() + at, text.begin() + stop, '\n'));
                field.append(text, at, stop - at);
                if (quote == std::string_view::npos) {
                    at = text.size();
                    r.broken = true;
                    r.fields.resize(count);
                    return;
                }
                at = quote + 1;
                if (at < text.size() && text[at] == '"') {
                    field += '"';
                    ++at;
                    continue;
                }
                break;
            }
        }
        // Unquoted (or what follows a closing quote): up to ',' or the line
        // end; a CR of CRLF is trimmed off with the spaces.
        size_t stop = text.find_first_of(",\n", at);
        if (stop == std::string_view::npos) stop = text.size();
        field.append(text, at, stop - at);
        at = stop;
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (at < text.size()) {
            ++at;
            ++line;
        }
        break;
    }
    r.fields.resize(count);
}

std::string trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

// A decimal number of at most 10 digits (radio ids are 24 bits, capcodes 21).
bool parse_id(const std::string &text, long &id) {
    if (text.empty() || text.size() > 10) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > 4294967295l) return false;
    id = value;
    return true;
}

// A name as the outputs take it: valid UTF-8, one line, no control
// characters, bounded.
std::string clean_name(const std::string &raw);

// A name cut to longest_name bytes at a character boundary.
std::string bounded(std::string out) {
    if (out.size() > longest_name) {
        size_t cut = longest_name;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

std::string clean_name(const std::string &raw) {
    // Most names are printable ASCII, already as the outputs take them.
    if (!raw.empty() && raw.size() <= longest_name && raw.front() != ' ' && raw.back() != ' ' &&
        std::all_of(raw.begin(), raw.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return raw;
    std::string valid = as_utf8(raw);
    std::string out;
    for (unsigned char c : valid) out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    return bounded(trimmed(out));
}

std::string upper(std::string s) {
    for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool looks_like_header(const record &r) {
    long id;
    return !r.fields.empty() && !parse_id(trimmed(r.fields[0]), id);
}

int column(const std::vector<std::string> &header, const char *name) {
    for (size_t k = 0; k < header.size(); ++k)
        if (upper(trimmed(header[k])) == name) return static_cast<int>(k);
    return -1;
}

}  // namespace

name_table parse_names(std::string_view text, const std::string &label, std::vector<std::string> &warnings) {
    name_table table;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t at = 0, line = 1, bad = 0;
    int id_col = 0, call_col = -1, first_col = -1, name_col = 1;
    bool first = true;
    record r;
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    table.by_id.reserve(lines);
    const auto warn = [&](size_t where, const std::string &why) {
        if (++bad <= name_warning_limit) warnings.push_back(label + ":" + std::to_string(where) + ": " + why);
    };
    while (at < text.size()) {
        next_record(text, at, line, r);
        if (r.fields.size() == 1 && trimmed(r.fields[0]).empty() && !r.broken) continue;  // blank line
        if (first) {
            first = false;
            if (looks_like_header(r) && !r.broken) {
                int radio = column(r.fields, "RADIO_ID");
                if (radio >= 0) {
                    id_col = radio;
                    call_col = column(r.fields, "CALLSIGN");
                    first_col = column(r.fields, "FIRST_NAME");
                    name_col = -1;
                    if (call_col < 0 && first_col < 0) name_col = radio == 0 ? 1 : 0;
                }
                continue;  // a header of another layout: id first, name second
            }
        }
        if (r.broken) {
            warn(r.line, "a quoted field is not closed; the rest of the file is skipped");
            break;
        }
        long id = 0;
        if (static_cast<size_t>(id_col) >= r.fields.size() || !parse_id(trimmed(r.fields[id_col]), id)) {
            warn(r.line, "no number in the id column");
            continue;
        }
        const auto field = [&](int k) {
            return k >= 0 && static_cast<size_t>(k) < r.fields.size() ? clean_name(r.fields[k]) : std::string();
        };
        std::string name;
        std::string call = field(call_col);
        if (name_col >= 0) {
            name = field(name_col);
        } else {
            std::string given = field(first_col);
            name = call.empty() ? given : given.empty() ? call : bounded(call + " " + given);
        }
        if (name.empty()) {
            warn(r.line, "no name for " + std::to_string(id));
            continue;
        }
        if (!call.empty()) {
            if (table.by_call.empty()) table.by_call.reserve(lines);
            table.by_call[upper(call)] = name;
        }
        table.by_id[id] = std::move(name);
    }
    if (bad > name_warning_limit)
        warnings.push_back(label + ": " + std::to_string(bad - name_warning_limit) + " more bad lines skipped");
    return table;
}

bool load_names(const std::string &path, name_table &table, std::vector<std::string> &warnings, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size > largest_file) {
        error = "'" + path + "' is too large for a name list";
        return false;
    }
    in.seekg(0);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0 && !in.read(text.data(), size)) {
        error = "cannot read '" + path + "'";
        return false;
    }
    table = parse_names(text, path, warnings);
    return true;
}

bool load_name_tables(const std::string &talkgroups, const std::string &radio_ids, const std::string &capcodes,
                      name_tables &tables, std::vector<std::string> &warnings, std::string &error) {
    for (auto [path, table] : {std::pair{&talkgroups, &tables.talkgroups}, std::pair{&radio_ids, &tables.radio_ids},
                               std::pair{&capcodes, &tables.capcodes}})
        if (!path->empty() && !load_names(*path, *table, warnings, error)) return false;
    return true;
}

void apply_names(const name_tables &tables, event &e) {
    const auto by_id = [](const name_table &t, long id, std::string &out) {
        auto found = t.by_id.find(id);
        if (found != t.by_id.end()) out = found->second;
    };
    switch (e.protocol) {
        case event_protocol::dmr:
            by_id(tables.radio_ids, e.source, e.source_name);
            by_id(e.type == "direct" ? tables.radio_ids : tables.talkgroups, e.target, e.target_name);
            break;
        case event_protocol::ysf: {
            std::string call = e.ysf_source;
            size_t cut = call.find_first_of("-/ ");  // "N0CALL-7", "N0CALL/P": the person's call sign
            if (cut != std::string::npos) call.resize(cut);
            auto found = tables.radio_ids.by_call.find(upper(call));
            if (found != tables.radio_ids.by_call.end()) e.source_name = found->second;
            break;
        }
        case event_protocol::pocsag:
            by_id(tables.capcodes, e.address, e.name);
            break;
        case event_protocol::input:
            break;
    }
}
