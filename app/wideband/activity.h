// SPDX-License-Identifier: MIT
#pragma once
// Whether a channel carries a signal: its power against a tracked noise
// floor, so that the decoders of an idle channel can sleep.
//
// The channel's complex baseband is measured in frames of 5 ms (240 pairs at
// 48000/s). The channel opens when 3 frames running stand 4 dB or more above
// the floor, and closes when it has stood below floor + 2.5 dB for the hang
// time (1 s: the gaps of a DMR call between its bursts, its TDMA off-slots,
// the pauses of a conversation through a repeater all stay open).
//
// Delay: it opens 15 to 20 ms after the carrier comes up (three whole frames,
// the first perhaps begun before). opened_at() says where the first of those
// frames began, so a caller that keeps history (0.5 s is ample) feeds its
// decoders from there and loses no sync: a DMR voice header burst is 27.5 ms
// long, a System Fusion header frame 100 ms. It closes hang_seconds after the
// carrier has gone.
//
// The floor is the least level (smoothed over about 20 ms) of the last 10 s:
// it follows the noise down at once and up within 10 s (a change of the
// receiver's gain is learnt, a channel does not stick open), and sits about
// half a dB below the noise's mean. A channel that carries a signal
// from the very start of the stream has no floor of its own to compare
// with: the caller may give the floor of the band (band_floor_db over the
// channels, most of which are idle), and the channel then also opens against
// that, plus 3 dB for the spread of the band's response.
//
// A channel right next to a strong one may open on the skirts of its
// spectrum (energy is all it sees); its decoders then find nothing.
//
// Frames are whole whatever the caller's block sizes, so the decisions do not
// depend on them. Non-finite samples count as zero.

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

struct activity_settings {
    double rate = 48000;  // pairs per second
    double frame_seconds = 0.005;
    int open_frames = 3;  // frames running above floor + open_db
    double open_db = 4.0;
    double close_db = 2.5;
    double hang_seconds = 1.0;
    double floor_window_seconds = 10.0;
    double band_margin_db = 3.0;  // the floor is held this close to a given band floor
};

class activity_detector {
   public:
    explicit activity_detector(const activity_settings &settings = {});

    // Takes pairs I/Q pairs; true when the channel is open after them.
    bool feed(const float *iq, size_t pairs);

    bool active() const { return open; }
    // Pairs fed before the first frame of the present (or last) opening; -1
    // before the first.
    long long opened_at() const { return opened; }
    // Pairs fed before the frame at which it last closed; -1 before the first.
    long long closed_at() const { return closed; }
    // The tracked floor and the last frame's level, dB of power (full scale
    // 0 dB); -300 before the first frame.
    double floor_db() const { return floor; }
    double level_db() const { return level; }

    // The floor of the band (see above); a NaN forgets it.
    void set_band_floor(double db) { band_floor = db; }

   private:
    void frame_done();

    activity_settings settings;
    size_t frame_pairs = 240;
    long long hang_frames = 200;

    double sum = 0;       // power of the frame so far
    size_t in_frame = 0;  // pairs of it
    long long fed = 0;    // pairs in all
    bool open = false;
    bool started = false;  // a floor exists
    int above = 0;         // frames running above the opening level
    long long quiet = 0;   // frames running below the closing level, while open
    long long opened = -1, closed = -1;
    double floor = -300, level = -300;
    double band_floor;
    // The floor's window in parts, each part's least smoothed level.
    double smoothed = NAN;
    std::array<double, 8> parts{};
    size_t next_part = 0;
    long long part_length = 250, part_frames = 0;
    double part_min = INFINITY;
};

// The floor of a band: the median of its channels' floors (most channels of
// a band are idle). NaN for no channels.
double band_floor_db(std::vector<double> floors);
