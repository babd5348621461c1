// SPDX-License-Identifier: MIT
#pragma once
// --rtl-tcp HOST:PORT: the cu8 stream of a running rtl_tcp server (Debian
// package rtl-sdr), tuned through its command protocol.
//
// The protocol: on connecting, the server sends 12 bytes, "RTL0", the tuner
// type and the number of the tuner's gains (32-bit big-endian each), then
// the dongle's samples as interleaved unsigned 8-bit I/Q. The client sends
// commands of 5 bytes: a command byte and a 32-bit big-endian value:
//   0x01 centre frequency (Hz)     0x02 sample rate (samples/s)
//   0x03 gain mode (0 automatic, 1 manual)
//   0x04 tuner gain (tenths of a dB, manual mode)
//   0x05 frequency correction (ppm, signed)
//   0x08 the RTL2832's own digital AGC (0 off, 1 on)
// After every (re)connection this source sends, in order: sample rate,
// centre frequency, frequency correction, gain mode, the gain when manual,
// and the digital AGC off. The dongle corrects its crystal itself from the
// ppm given here, so the channelizer is then given 0 ppm.
//
// Samples are delivered as floats, (x - 127.5) / 127.5. A reader thread
// keeps the connection and a bounded buffer (2 s of samples by default). A
// lost connection is retried with a back-off (0.25 s doubling to 8 s, 10
// attempts running), and each loss is reported through take_gaps() once the
// stream resumes; a buffer overrun (the caller fell behind) drops the newest
// samples and is reported as a gap too. After the last failed attempt read()
// returns false and error() says why.

#include <memory>
#include <string>
#include <string_view>

#include "source.h"

struct rtl_tcp_settings {
    std::string host;
    int port = 0;
    long long center_hz = 0;
    long long rate = 2400000;
    bool automatic_gain = true;
    double gain_db = 0;  // with automatic_gain false
    int ppm = 0;
    // Connection keeping (the defaults are the user's; tests shorten them).
    int connect_timeout_ms = 5000;
    int first_backoff_ms = 250;
    int max_backoff_ms = 8000;
    int attempts = 10;            // failed attempts running before giving up
    long long buffer_frames = 0;  // 0: two seconds at the rate
};

// Splits "HOST:PORT" ("[::1]:1234" for an IPv6 address). False with a
// one-line reason for a missing host or a port outside 1..65535.
bool parse_host_port(std::string_view text, std::string &host, int &port, std::string &error);

// Connects, checks the server's header and sends the settings; null with a
// one-line reason if the first connection fails. The source's read() then
// never waits longer than its timeout.
std::unique_ptr<sample_source> open_rtl_tcp(const rtl_tcp_settings &settings, std::string &error);
