// SPDX-License-Identifier: MIT
// The two forms of an event (event_json, event_text) for events whose
// received text (alias, call signs, radio, page text, names, summary) and
// extra keys come from the input. The JSON must always be one line that
// parses back (RapidJSON, UTF-8 checked) to an object holding the text as
// valid UTF-8; the readable line must be one line, printable, with no
// control byte but its final newline.

#include <fuzzer/FuzzedDataProvider.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "event_forms.h"
#include "fuzz_support.h"
#include "received_text.h"

namespace {

std::string received(FuzzedDataProvider &in) { return in.ConsumeRandomLengthString(200); }

// A text key of the parsed object holds what was sent, as valid UTF-8.
void check_text(const rapidjson::Document &doc, const char *key, const std::string &sent) {
    auto it = doc.FindMember(key);
    if (it == doc.MemberEnd() || !it->value.IsString()) fuzz_fail("a text key is missing from the JSON");
    const std::string got(it->value.GetString(), it->value.GetStringLength());
    if (got != as_utf8(sent)) fuzz_fail("a text key does not hold what was received");
}

// A measured figure, not-a-number and the infinities included (a level of
// silence in dB is -inf; the provider alone gives finite numbers only).
double measured(FuzzedDataProvider &in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return std::numeric_limits<double>::infinity();
        case 2:
            return -std::numeric_limits<double>::infinity();
        default:
            return in.ConsumeFloatingPoint<double>();
    }
}

// Stops with the line shown (escaped) beside the reason.
[[noreturn]] void fail_on(const std::string &form, const char *what) {
    std::fprintf(stderr, "%s\n", printable(form).c_str());
    fuzz_fail(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    event e;
    e.protocol = in.PickValueInArray({event_protocol::dmr, event_protocol::ysf, event_protocol::pocsag});
    e.kind = in.PickValueInArray({event_kind::call, event_kind::call_end, event_kind::page, event_kind::signal,
                                  event_kind::csbk, event_kind::data, event_kind::page_repeat});
    // Times, durations and positions are the decoders' own figures: finite,
    // within what an input and the earth allow.
    e.time = in.ConsumeFloatingPointInRange<double>(0, 1e7);
    e.duration = in.ConsumeFloatingPointInRange<double>(0, 1e5);
    e.frequency = in.ConsumeIntegral<int64_t>();
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) e.frequencies.push_back(in.ConsumeIntegral<int64_t>());
    e.call_id = in.ConsumeIntegral<uint64_t>();
    e.slot = in.ConsumeIntegral<int>();
    e.type = in.PickValueInArray({"", "group", "direct"});
    e.source = in.ConsumeIntegral<long>();
    e.target = in.ConsumeIntegral<long>();
    e.has_position = in.ConsumeBool();
    e.lat = in.ConsumeFloatingPointInRange<double>(-90, 90);
    e.lon = in.ConsumeFloatingPointInRange<double>(-180, 180);
    e.baud = in.ConsumeIntegral<int>();
    e.address = in.ConsumeIntegral<long>();
    e.function = in.ConsumeIntegralInRange(-1, 3);
    e.repeats = in.ConsumeIntegral<int>();
    e.alias = received(in);
    e.mode = received(in);
    e.ysf_source = received(in);
    e.ysf_target = received(in);
    e.up = received(in);
    e.down = received(in);
    e.radio = received(in);
    e.message = received(in);
    e.source_name = received(in);
    e.target_name = received(in);
    e.name = received(in);
    e.summary = received(in);
    e.station = received(in);
    e.utc = received(in);
    e.audio = received(in);
    for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
        std::string key = received(in);
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                add_text(e, std::move(key), received(in));
                break;
            case 1:
                add_number(e, std::move(key), in.ConsumeIntegral<long long>());
                break;
            case 2:
                add_decimal(e, std::move(key), measured(in), in.ConsumeIntegralInRange(0, 9));
                break;
            default:
                add_flag(e, std::move(key), in.ConsumeBool());
                break;
        }
    }

    const std::string json = event_json(e);
    if (json.find('\n') != std::string::npos || json.find('\r') != std::string::npos)
        fail_on(json, "event_json is more than one line");
    for (char c : json)
        if (static_cast<unsigned char>(c) < 0x20) fail_on(json, "event_json holds a raw control byte");
    if (!valid_utf8(json)) fail_on(json, "event_json is not valid UTF-8");
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseValidateEncodingFlag>(json.data(), json.size());
    if (doc.HasParseError()) {
        std::fprintf(stderr, "%s at %zu: %s\n", rapidjson::GetParseError_En(doc.GetParseError()), doc.GetErrorOffset(),
                     json.c_str());
        fuzz_fail("event_json does not parse back");
    }
    if (!doc.IsObject()) fuzz_fail("event_json is not an object");
    check_text(doc, "protocol", event_protocol_name(e.protocol));
    check_text(doc, "event", event_kind_name(e.kind));
    const bool has_fields = e.kind == event_kind::call || e.kind == event_kind::call_end ||
                            e.kind == event_kind::page || e.kind == event_kind::page_repeat;
    if (has_fields && e.protocol == event_protocol::dmr && !e.alias.empty()) check_text(doc, "alias", e.alias);
    if (has_fields && e.protocol == event_protocol::ysf) check_text(doc, "source", e.ysf_source);
    if (has_fields && e.protocol == event_protocol::pocsag) check_text(doc, "message", e.message);
    if (!e.source_name.empty()) check_text(doc, "source_name", e.source_name);
    if (!e.station.empty()) check_text(doc, "station", e.station);

    const std::string line = event_text(e);
    if (line.empty() || line.back() != '\n') fail_on(line, "event_text does not end with its newline");
    const std::string_view body(line.data(), line.size() - 1);
    if (has_control_byte(body)) fail_on(line, "event_text holds a control byte before its newline");
    bool unsafe = false;
    const auto terminal_unsafe = [&](uint32_t code) {
        // C1 controls, the bidirectional controls, the line and paragraph
        // separators: printable() must have escaped them.
        unsafe = unsafe || (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
                 code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
                 (code >= 0x2066 && code <= 0x2069);
    };
    if (!valid_utf8(body, terminal_unsafe)) fail_on(line, "event_text is not valid UTF-8");
    if (unsafe) fail_on(line, "event_text holds a C1 or bidirectional control");
    return 0;
}
