// SPDX-License-Identifier: MIT
#pragma once
// One channel of a wideband capture: its complex baseband at 48000 pairs/s
// from the channelizer, an activity detector, and a receiver that is awake
// only while the channel carries a signal.
//
// An idle channel costs its detector and a short history: the last quarter
// second of its baseband. When the detector opens, a fresh receiver is made
// and fed the history from a tenth of a second before the carrier came up,
// FM-demodulated as the narrowband path does it, so that the first sync of
// a transmission (the DMR voice header, the System Fusion header) is
// decoded; it then follows the channel live. When the detector closes (a
// second after the carrier has gone), the receiver finishes (its calls end)
// and is put to sleep. The receiver's times are the channel's input times.

#include <cstdint>
#include <memory>
#include <vector>

#include "activity.h"
#include "fm_discriminator.h"
#include "receiver.h"

// History kept while idle, and how far before the detector's opening the
// woken receiver starts (48000 pairs/s).
inline constexpr long long channel_history_pairs = 12000;
inline constexpr long long channel_lead_pairs = 4800;

class gated_channel {
   public:
    gated_channel(const receiver_settings &settings, uint64_t *next_call_id, std::vector<receiver_item> *items);

    // Complex baseband (interleaved I/Q, 48000 pairs/s).
    void process(const float *iq, size_t pairs);
    // The end of the input: an awake receiver finishes.
    void finish();

    // Input time up to which this channel has reported: an idle channel may
    // still wake and report from its history's start.
    double horizon() const;
    bool awake() const { return rx_ != nullptr; }
    const activity_detector &activity() const { return activity_; }
    activity_detector &activity() { return activity_; }

   private:
    void wake();
    void sleep();
    void demodulate(const float *iq, size_t pairs);

    receiver_settings settings_;
    uint64_t *next_call_id_;
    std::vector<receiver_item> *items_;
    activity_detector activity_;
    fm_discriminator discriminator_;
    std::unique_ptr<receiver> rx_;
    // Interleaved I/Q of the last channel_history_pairs, a ring: pair k of
    // the input at (k mod channel_history_pairs).
    std::vector<float> history_;
    long long pairs_ = 0;  // fed in all
    std::vector<float> audio_;
};
