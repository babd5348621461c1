// SPDX-License-Identifier: MIT
// The name lists (--talkgroups, --radio-ids, --capcodes) read from a file
// whose bytes are the input, as a downloaded list may hold anything. Every
// name that loads must be as the outputs take it: one line of valid UTF-8
// without control characters, at most 200 bytes; the warnings stay bounded
// and name no received bytes; and the names reach the events they match.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "names.h"

namespace {

constexpr std::size_t longest_name = 200;

// The list file, made once, rewritten for each input and removed at exit.
char list_name[] = "/tmp/zelvane_names_fuzz_XXXXXX";

const std::string &list_path() {
    static const std::string path = [] {
        int fd = mkstemp(list_name);
        if (fd < 0) fuzz_fail("cannot make the list file");
        close(fd);
        std::atexit([] { unlink(list_name); });
        return std::string(list_name);
    }();
    return path;
}

void check_name(const std::string &name) {
    if (name.empty()) fuzz_fail("an empty name loaded");
    if (name.size() > longest_name) fuzz_fail("a name longer than 200 bytes");
    if (!valid_utf8(name)) fuzz_fail("a name that is not valid UTF-8");
    if (has_control_byte(name)) fuzz_fail("a name with a control character (or a line end)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string &path = list_path();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) fuzz_fail("cannot write the list file");
    if (size > 0 && std::fwrite(data, 1, size, f) != size) fuzz_fail("cannot write the list file");
    std::fclose(f);

    name_table table;
    std::vector<std::string> warnings;
    std::string error;
    if (!load_names(path, table, warnings, error)) fuzz_fail("a readable list was refused");

    if (warnings.size() > name_warning_limit + 1) fuzz_fail("more warnings than the limit");
    for (const std::string &w : warnings) {
        // "PATH:LINE: why": the file's bytes are never echoed.
        if (w.compare(0, path.size(), path) != 0) fuzz_fail("a warning that does not name the file");
        if (!valid_utf8(w) || has_control_byte(w)) fuzz_fail("a warning that is not one line of text");
        if (w.size() > path.size() + 100) fuzz_fail("a warning that echoes the list");
    }
    for (const auto &[id, name] : table.by_id) {
        if (id < 0 || id > 4294967295l) fuzz_fail("an id out of range");
        check_name(name);
    }
    for (const auto &[call, name] : table.by_call) {
        check_name(call);
        check_name(name);
    }

    // The same list as all three: every kind of event is named from it.
    name_tables tables{table, table, table};
    std::size_t tried = 0;
    for (const auto &[id, name] : table.by_id) {
        if (++tried > 8) break;
        event dmr;
        dmr.protocol = event_protocol::dmr;
        dmr.type = tried % 2 ? "group" : "direct";
        dmr.source = id;
        dmr.target = id;
        apply_names(tables, dmr);
        if (dmr.source_name != name || dmr.target_name != name) fuzz_fail("a DMR id was not named from the list");

        event page;
        page.protocol = event_protocol::pocsag;
        page.address = id;
        apply_names(tables, page);
        if (page.name != name) fuzz_fail("a capcode was not named from the list");
    }
    tried = 0;
    for (const auto &[call, name] : table.by_call) {
        if (++tried > 8) break;
        // A portable or numbered station is the person's call sign.
        if (call.find_first_of("-/ ") != std::string::npos) continue;
        event ysf;
        ysf.protocol = event_protocol::ysf;
        ysf.ysf_source = call + "-7";
        apply_names(tables, ysf);
        if (ysf.source_name != name) fuzz_fail("a System Fusion call sign was not named from the list");
    }
    // Whatever the air sends as a call sign is only looked up.
    event received;
    received.protocol = event_protocol::ysf;
    received.ysf_source.assign(reinterpret_cast<const char *>(data), size < 64 ? size : 64);
    apply_names(tables, received);
    if (!received.source_name.empty()) check_name(received.source_name);
    return 0;
}
