// SPDX-License-Identifier: MIT
// The names of speech files (--audio-name): a template read from the input,
// filled from a call's first event whose received text (call signs, alias,
// radio, names) comes from the input too. Whatever arrives, the name is one
// safe file name in the folder: valid UTF-8, no '/', '\', NUL or other
// control character, none of the characters shared folders refuse, no
// leading '.', and at most 190 bytes (200 with a number and an extension).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_name_template.h"
#include "fuzz_support.h"

namespace {

bool refused_in_name(uint32_t code) {
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == '/' || code == '\\' ||
           code == ':' || code == '*' || code == '?' || code == '"' || code == '<' || code == '>' || code == '|' ||
           code == 0x061C || code == 0x200E || code == 0x200F || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// text has none of the characters a file name may not hold.
void check_safe(const std::string &text, const char *what) {
    bool refused = false;
    if (!valid_utf8(text, [&](uint32_t code) { refused = refused || refused_in_name(code); })) fuzz_fail(what);
    if (refused) fuzz_fail(what);
}

std::string received(FuzzedDataProvider &in) { return in.ConsumeRandomLengthString(300); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(400);

    name_template t;
    std::string error;
    if (parse_name_template(text, t, error)) {
        for (const name_template::piece &p : t.pieces) {
            if (p.text.empty()) fuzz_fail("an empty piece in a template");
            if (!p.field && (p.text.find('/') != std::string::npos || has_control_byte(p.text)))
                fuzz_fail("a template literal with '/' or a control character was taken");
            if (p.field && (p.text.find_first_of("{}") != std::string::npos))
                fuzz_fail("a template field named with a brace");
        }
    } else {
        if (error.empty()) fuzz_fail("a template refused without a reason");
        if (!valid_utf8(error) || has_control_byte(error) || error.size() > 200)
            fuzz_fail("a template's refusal is not one short line of text");
        t.pieces.clear();  // the default names
    }

    event e;
    e.protocol = in.ConsumeBool() ? event_protocol::dmr : event_protocol::ysf;
    e.time = in.ConsumeFloatingPoint<double>();  // NaN and infinities too
    e.frequency = in.ConsumeIntegral<int64_t>();
    e.slot = in.ConsumeIntegral<int>();
    e.source = in.ConsumeIntegral<long>();
    e.target = in.ConsumeIntegral<long>();
    e.utc = in.ConsumeBool() ? "2026-12-11T11:19:35.480Z" : received(in);
    e.type = received(in);
    e.ysf_source = received(in);
    e.ysf_target = received(in);
    e.alias = received(in);
    e.radio = received(in);
    e.source_name = received(in);
    e.target_name = received(in);
    e.station = in.ConsumeRemainingBytesAsString();

    const std::string stem = file_stem(t, e);
    if (stem.empty()) fuzz_fail("an empty file name");
    if (stem.size() > longest_file_stem) fuzz_fail("a file name longer than 190 bytes");
    if (stem.front() == '.') fuzz_fail("a file name that starts with '.'");
    check_safe(stem, "a file name with a character a file name may not hold, or not UTF-8");
    // As the audio sink numbers and completes it.
    if ((stem + "-100.flac").size() > 200) fuzz_fail("a numbered file name longer than 200 bytes");

    // The pieces on their own, on the raw text.
    const std::string part = safe_name_part(text);
    check_safe(part, "safe_name_part left a character a file name may not hold");
    for (size_t limit : {size_t{0}, size_t{1}, size_t{5}, size_t{40}}) {
        const std::string cut = cut_utf8(part, limit);
        if (cut.size() > limit || part.compare(0, cut.size(), cut) != 0 || !valid_utf8(cut))
            fuzz_fail("cut_utf8 is not a whole-character prefix within the limit");
    }
    return 0;
}
