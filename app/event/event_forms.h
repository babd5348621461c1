// SPDX-License-Identifier: MIT
#pragma once
// The two forms of an event that zelvane writes: one readable line, and one
// JSON object on one line. Every sink that writes JSON (JSON Lines, speech
// sidecars, MQTT, the web API) takes it from event_json.

#include <string>

#include "event.h"

// One JSON object, without a newline. Keys: "protocol", "event", "time",
// the protocol's fixed keys, position, "duration" (call-end), then
// frequency, station, UTC, names, audio and the extra keys where present.
// Text is UTF-8 (bytes that are not become U+FFFD).
std::string event_json(const event &e);

// One readable line, newline included: time (and frequency in MHz for a
// channel of a wideband input), protocol, event and its fields; received
// text through printable().
std::string event_text(const event &e);

// A frequency in MHz for readable lines and file names: at least four
// decimals, more where the frequency has them ("439.0125", "439.00625").
std::string megahertz(long long hz);
