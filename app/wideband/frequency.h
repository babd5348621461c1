// SPDX-License-Identifier: MIT
#pragma once
// Frequencies as users type them, and the channel plan of a wideband capture.
//
// A frequency is a whole number of hertz, written plainly ("2400000") or with
// a suffix k, M or G ("12.5k", "439.0125M", "1.2G"); the digits after the
// point must give whole hertz. No sign, exponent, spaces or other suffix.
//
// The usable band. A capture at rate R centred at C holds R of spectrum, but
// not all of it is clean: the SDR's own decimating anti-alias filter rolls
// off and lets aliases in over the outer part of the band (an RTL2832 at
// 2.4 MS/s is flat to about +-0.9 MHz), and the channelizer's channel filter
// needs a further 7.6 kHz either side of a channel's centre. So a channel is
// usable when its whole raster slot, centre +- spacing/2, lies inside the
// central 80 % of the capture: |f - C| + spacing/2 <= 0.4 R.
// At 2.4 MS/s that is +-960 kHz around the centre: 153 channels of 12.5 kHz.
//
// The DC spike of a direct-conversion SDR sits at the centre: tune the centre
// half-way between two channels of the raster to keep it out of them.

#include <string>
#include <string_view>
#include <vector>

// Share of the capture rate, about the centre, whose channels are usable.
inline constexpr double usable_band_fraction = 0.8;
inline constexpr long long default_channel_spacing = 12500;
// A --channels list longer than this is refused (no capture holds more).
inline constexpr size_t max_listed_channels = 4096;

// Parses one frequency into hz. False with a one-line reason (naming the text)
// for junk, a sign, fractional hertz or a value beyond 1 THz.
bool parse_frequency(std::string_view text, long long &hz, std::string &error);

// Parses a comma-separated list of frequencies ("439.0125M,439.025M"). False
// with a one-line reason for an empty list, an empty item, a bad frequency,
// a channel listed twice or more than max_listed_channels.
bool parse_channel_list(std::string_view text, std::vector<long long> &channels, std::string &error);

struct channel_plan_request {
    long long rate = 0;    // capture rate, complex samples per second
    long long center = 0;  // Hz
    long long spacing = default_channel_spacing;
    std::vector<long long> listed;  // from --channels; empty: every raster channel of the usable band
};

// Lowest and highest channel centre allowed in the usable band (see above).
struct usable_band {
    long long low = 0, high = 0;
};
usable_band usable_band_of(long long rate, long long center, long long spacing);

// The channels to watch, ascending: the listed ones, or every multiple of the
// spacing in the usable band. False with a one-line reason for a bad rate or
// spacing, a listed channel outside the usable band, or no channel at all.
bool plan_channels(const channel_plan_request &request, std::vector<long long> &channels, std::string &error);

// "439.0125": a channel's frequency in MHz for readable lines, with as many
// decimals as it needs (at least four).
std::string frequency_mhz_text(long long hz);
