// SPDX-License-Identifier: MIT
#include "frequency.h"

#include "event_forms.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr long long max_frequency = 1000000000000LL;  // 1 THz

std::string quoted(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 40)) shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    if (text.size() > 40) shown += "...";
    return "'" + shown + "'";
}

}  // namespace

bool parse_frequency(std::string_view text, long long &hz, std::string &error) {
    std::string_view digits = text;
    long long scale = 1;
    int scale_digits = 0;
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'k':
            case 'K':
                scale = 1000, scale_digits = 3;
                break;
            case 'M':
                scale = 1000000, scale_digits = 6;
                break;
            case 'G':
                scale = 1000000000, scale_digits = 9;
                break;
            default:
                break;
        }
        if (scale != 1) digits.remove_suffix(1);
    }
    long long whole = 0, fraction = 0;
    int fraction_digits = 0, whole_digits = 0;
    bool point = false;
    for (char c : digits) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') {
            error = "bad frequency " + quoted(text) + " (Hz, or with k, M or G: 439.0125M)";
            return false;
        }
        int d = c - '0';
        if (!point) {
            if (whole <= max_frequency) whole = whole * 10 + d;  // saturates: refused below
            ++whole_digits;
        } else {
            // Digits beyond the suffix's must all be zero to give whole hertz.
            if (fraction_digits >= scale_digits) {
                if (d != 0) {
                    error = "frequency " + quoted(text) + " is not a whole number of hertz";
                    return false;
                }
                continue;
            }
            fraction = fraction * 10 + d;
            ++fraction_digits;
        }
    }
    if (whole_digits == 0 && fraction_digits == 0) {
        error = "bad frequency " + quoted(text) + " (Hz, or with k, M or G: 439.0125M)";
        return false;
    }
    if (whole > max_frequency / scale) {
        error = "frequency " + quoted(text) + " is out of range (at most 1 THz)";
        return false;
    }
    for (int i = fraction_digits; i < scale_digits; ++i) fraction *= 10;
    hz = whole * scale + fraction;
    if (hz > max_frequency) {
        error = "frequency " + quoted(text) + " is out of range (at most 1 THz)";
        return false;
    }
    return true;
}

bool parse_channel_list(std::string_view text, std::vector<long long> &channels, std::string &error) {
    channels.clear();
    if (text.empty()) {
        error = "empty --channels list";
        return false;
    }
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        std::string_view item =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (item.empty()) {
            error = "--channels list " + quoted(text) + " has an empty item";
            return false;
        }
        long long hz = 0;
        if (!parse_frequency(item, hz, error)) return false;
        if (std::find(channels.begin(), channels.end(), hz) != channels.end()) {
            error = "channel " + frequency_mhz_text(hz) + " MHz is listed twice";
            return false;
        }
        if (channels.size() == max_listed_channels) {
            error = "--channels lists more than " + std::to_string(max_listed_channels) + " channels";
            return false;
        }
        channels.push_back(hz);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return true;
}

usable_band usable_band_of(long long rate, long long center, long long spacing) {
    // |f - center| + spacing / 2 <= 0.4 rate, in whole hertz (rounded inwards).
    long long reach = static_cast<long long>(usable_band_fraction / 2 * static_cast<double>(rate)) - (spacing + 1) / 2;
    if (reach < 0) return {center, center - 1};  // empty
    return {center - reach, center + reach};
}

bool plan_channels(const channel_plan_request &request, std::vector<long long> &channels, std::string &error) {
    channels.clear();
    if (request.rate <= 0) {
        error = "the capture rate must be above 0";
        return false;
    }
    if (request.spacing <= 0 || request.spacing > request.rate) {
        error = "channel spacing " + std::to_string(request.spacing) + " Hz does not fit a capture of " +
                std::to_string(request.rate) + " samples/s";
        return false;
    }
    usable_band band = usable_band_of(request.rate, request.center, request.spacing);
    std::string band_text = frequency_mhz_text(band.low) + " to " + frequency_mhz_text(band.high) + " MHz";
    if (band.high < band.low) {
        error = "a capture of " + std::to_string(request.rate) + " samples/s has no usable channel of " +
                std::to_string(request.spacing) + " Hz";
        return false;
    }
    if (!request.listed.empty()) {
        for (long long hz : request.listed) {
            if (hz < band.low || hz > band.high) {
                error = "channel " + frequency_mhz_text(hz) + " MHz is outside the usable band (" + band_text + ")";
                return false;
            }
            if (std::find(channels.begin(), channels.end(), hz) != channels.end()) {
                error = "channel " + frequency_mhz_text(hz) + " MHz is listed twice";
                return false;
            }
            channels.push_back(hz);
        }
        std::sort(channels.begin(), channels.end());
        return true;
    }
    // Raster channels: whole multiples of the spacing (ceiling of low).
    long long first =
        band.low >= 0 ? (band.low + request.spacing - 1) / request.spacing : -(-band.low / request.spacing);
    for (long long n = first; n * request.spacing <= band.high; ++n) channels.push_back(n * request.spacing);
    if (channels.empty()) {
        error = "no channel of the " + std::to_string(request.spacing) + " Hz raster lies in the usable band (" +
                band_text + ")";
        return false;
    }
    return true;
}

std::string frequency_mhz_text(long long hz) { return megahertz(hz); }
