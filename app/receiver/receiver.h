// SPDX-License-Identifier: MIT
#pragma once
// The receiver of one channel: the decoders of every protocol in both
// polarities, fed the channel's FM discriminator samples at 48000/s, and the
// call tracking and polarity choice that turn their reports into events.
//
// Time is the channel's own sample count: every report is stamped with the
// input time of the block whose processing made its decoder write it, so
// the same input gives the same events at the same times, however it was
// read. Each demodulator reads blocks of 256 samples, each decoder blocks of
// 128 symbols or bits, exactly as its program reads a pipe.
//
// A DMR or System Fusion call is shown only once its structure has validated
// (ids or call signs decoded); a call of one polarity keeps the other
// polarity's decoder of the same slot from showing one at the same time.
// Speech (with speech on) is synthesised through voxloom's logic and the
// speech band-pass for the call shown, from the voice frames of its own
// slot; frames that arrive before the call validates wait (up to 3 s) and
// are spoken once it does.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "event.h"

// Everything the decoders write, as they write it, for a caller that
// compares it with the receiving programs' own output: each metadata line
// or page line (without newline) and each voice unit, by decoder name
// ("dmr", "ysf", "pocsag1200", with "-i" for the inverted polarity; "dmr1"
// and "dmr2" for the one-slot decoders of speech).
struct receiver_tap {
    virtual ~receiver_tap() = default;
    virtual void line(const std::string &decoder, std::string_view line) = 0;
    virtual void voice(const std::string &decoder, const uint8_t *unit, size_t size) = 0;
};

struct receiver_settings {
    bool dmr = true, ysf = true, pocsag = true;
    bool exact = false;      // the exact slicers instead of the tracking demodulators
    bool speech = false;     // synthesise the speech of the calls shown
    int64_t frequency = 0;   // the channel's centre (Hz), 0 for one narrowband input
    receiver_tap *tap = nullptr;  // sees every line and voice unit (voice units are then captured always)
};

// What a receiver reports: an event, or a piece of a call's speech (8000/s).
struct receiver_item {
    double time = 0;
    bool is_speech = false;
    event report;                // !is_speech
    uint64_t call_id = 0;        // is_speech
    std::vector<int16_t> speech;  // is_speech
};

struct receiver_state;

class receiver {
   public:
    // next_call_id numbers the calls of every receiver of a run (shared, so
    // that ids are unique); items receives what the receiver reports.
    receiver(const receiver_settings &settings, uint64_t *next_call_id, std::vector<receiver_item> *items);
    ~receiver();
    receiver(const receiver &) = delete;
    receiver &operator=(const receiver &) = delete;

    // False with a reason when a decoder could not be set up.
    bool ready(std::string &error) const;

    // Discriminator samples at 48000/s (any count; non-finite values are taken as 0 by the demodulators).
    void process(const float *samples, size_t count);

    // The end of the input: the last partial blocks are decoded, the calls
    // still open end at the input's end.
    void finish();

    // Input time up to which every decoder has reported: later reports are
    // stamped at or after it.
    double horizon() const;

    // Samples taken so far.
    long long samples() const;

   private:
    std::unique_ptr<receiver_state> state_;
};
