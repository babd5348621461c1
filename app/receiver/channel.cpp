// SPDX-License-Identifier: MIT
#include "channel.h"

#include <algorithm>

namespace {

constexpr double rate = 48000.0;

}  // namespace

gated_channel::gated_channel(const receiver_settings &settings, uint64_t *next_call_id,
                             std::vector<receiver_item> *items)
    : settings_(settings),
      next_call_id_(next_call_id),
      items_(items),
      history_(2 * static_cast<size_t>(channel_history_pairs), 0.0f) {}

void gated_channel::demodulate(const float *iq, size_t pairs) {
    audio_.clear();
    discriminator_process(discriminator_, iq, pairs, audio_);
    rx_->process(audio_.data(), audio_.size());
}

void gated_channel::wake() {
    const long long history_start = std::max(0LL, pairs_ - channel_history_pairs);
    const long long start = std::max(history_start, activity_.opened_at() - channel_lead_pairs);
    receiver_settings s = settings_;
    s.start_sample = start;
    rx_ = std::make_unique<receiver>(s, next_call_id_, items_);
    discriminator_ = fm_discriminator{};
    discriminator_init(discriminator_, rate);
    std::vector<float> past;
    past.reserve(2 * static_cast<size_t>(pairs_ - start));
    for (long long k = start; k < pairs_; ++k) {
        const size_t at = 2 * static_cast<size_t>(k % channel_history_pairs);
        past.push_back(history_[at]);
        past.push_back(history_[at + 1]);
    }
    demodulate(past.data(), past.size() / 2);
}

void gated_channel::sleep() {
    rx_->finish();
    rx_.reset();
}

void gated_channel::process(const float *iq, size_t pairs) {
    // In pieces of 5 ms, so that the receiver wakes within one detector frame
    // of the opening and the history never grows past its bound.
    constexpr size_t piece = 240;
    for (size_t at = 0; at < pairs; at += piece) {
        const size_t n = std::min(piece, pairs - at);
        const float *p = iq + 2 * at;
        activity_.feed(p, n);
        if (rx_) {
            pairs_ += static_cast<long long>(n);
            demodulate(p, n);
            if (!activity_.active()) sleep();
            continue;
        }
        for (size_t k = 0; k < n; ++k, ++pairs_) {
            const size_t slot = 2 * static_cast<size_t>(pairs_ % channel_history_pairs);
            history_[slot] = p[2 * k];
            history_[slot + 1] = p[2 * k + 1];
        }
        if (activity_.active()) wake();
    }
}

void gated_channel::finish() {
    if (rx_) sleep();
}

double gated_channel::horizon() const {
    if (rx_) return rx_->horizon();
    return static_cast<double>(pairs_ - channel_history_pairs) / rate;
}
