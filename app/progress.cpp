// SPDX-License-Identifier: MIT
#include "progress.h"

#include <time.h>

#include <cstdio>

namespace {

long long now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

void progress_init(progress_bar &bar, bool enabled, long long total_frames, double rate) {
    bar = progress_bar{};
    bar.shown = enabled && total_frames > 0;
    bar.total = total_frames;
    bar.rate = rate > 0 ? rate : 1;
}

void progress_update(progress_bar &bar, long long frames) {
    if (!bar.shown) return;
    long long now = now_ms();
    if (bar.last_ms >= 0 && now - bar.last_ms < 200 && frames < bar.total) return;  // the end is always drawn
    bar.last_ms = now;
    constexpr int width = 30;
    double fraction = bar.total > 0 ? static_cast<double>(frames) / static_cast<double>(bar.total) : 0;
    if (fraction > 1) fraction = 1;
    int filled = static_cast<int>(fraction * width);
    char line[width + 1];
    for (int n = 0; n < width; ++n) line[n] = n < filled ? '#' : '.';
    line[width] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%  %.1f of %.1f s", line, static_cast<int>(fraction * 100),
                 static_cast<double>(frames) / bar.rate, static_cast<double>(bar.total) / bar.rate);
    std::fflush(stderr);
    bar.drawn = true;
}

void progress_clear(progress_bar &bar) {
    if (!bar.drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    bar.drawn = false;
    bar.last_ms = -1;
}
