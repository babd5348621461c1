// SPDX-License-Identifier: MIT
#include "activity.h"

#include <algorithm>
#include <cmath>
#include <limits>

activity_detector::activity_detector(const activity_settings &s)
    : settings(s), band_floor(std::numeric_limits<double>::quiet_NaN()) {
    double frame = std::max(1.0, std::round(s.rate * s.frame_seconds));
    frame_pairs = static_cast<size_t>(frame);
    double frame_time = frame / s.rate;
    hang_frames = std::max(1LL, std::llround(s.hang_seconds / frame_time));
    settings.open_frames = std::max(1, s.open_frames);
    part_length = std::max(1LL, std::llround(s.floor_window_seconds / static_cast<double>(parts.size()) / frame_time));
    parts.fill(INFINITY);
}

bool activity_detector::feed(const float *iq, size_t pairs) {
    for (size_t n = 0; n < pairs; ++n) {
        float i = iq[2 * n], q = iq[2 * n + 1];
        if (std::isfinite(i) && std::isfinite(q)) sum += static_cast<double>(i) * i + static_cast<double>(q) * q;
        if (++in_frame == frame_pairs) {
            frame_done();
            fed += static_cast<long long>(frame_pairs);
            in_frame = 0;
            sum = 0;
        }
    }
    return open;
}

void activity_detector::frame_done() {
    // Digital silence (a stream that starts with zeros) is below any floor:
    // it closes a channel and teaches the floor nothing.
    bool silent = sum == 0;
    level = silent ? -300 : 10 * std::log10(sum / static_cast<double>(frame_pairs));
    if (!started) {
        floor = level;
        started = true;
    }
    double reference = floor;
    if (std::isfinite(band_floor))
        reference = std::clamp(reference, band_floor - settings.band_margin_db, band_floor + settings.band_margin_db);
    bool loud = !silent && level >= reference + settings.open_db;
    bool still = !silent && level >= reference + settings.close_db;

    if (!open) {
        above = loud ? above + 1 : 0;
        if (above >= settings.open_frames) {
            open = true;
            quiet = 0;
            opened = fed - static_cast<long long>(frame_pairs) * (settings.open_frames - 1);
        }
    } else {
        quiet = still ? 0 : quiet + 1;
        if (quiet >= hang_frames) {
            open = false;
            above = 0;
            closed = fed;
        }
    }
    if (silent) return;
    // The floor: the least of the smoothed level over the last window, kept
    // as the minima of its parts.
    smoothed = std::isfinite(smoothed) ? smoothed + 0.25 * (level - smoothed) : level;
    part_min = std::min(part_min, smoothed);
    if (++part_frames == part_length) {
        parts[next_part] = part_min;
        next_part = (next_part + 1) % parts.size();
        part_min = INFINITY;
        part_frames = 0;
    }
    floor = part_min;
    for (double m : parts) floor = std::min(floor, m);
}

double band_floor_db(std::vector<double> floors) {
    if (floors.empty()) return std::numeric_limits<double>::quiet_NaN();
    size_t middle = floors.size() / 2;
    std::nth_element(floors.begin(), floors.begin() + static_cast<long>(middle), floors.end());
    return floors[middle];
}
