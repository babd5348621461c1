// SPDX-License-Identifier: MIT
#pragma once
// The options of the web monitor (`--http [ADDR:]PORT`, `--http-auth`,
// `--http-open`, `--map-tiles`) and their checks. A bare port binds the
// loopback address only; any other address has to be named, and one that
// other machines can reach needs a password (HTTP Basic) unless the user
// says plainly that the monitor is open to all.

#include <cstddef>
#include <string>

struct http_options {
    std::string address = "127.0.0.1";
    int port = -1;               // -1: no web monitor; 0: any free port (tests)
    std::string user, password;  // HTTP Basic; empty user: none
    bool open = false;           // --http-open: no password on a reachable address
    // Tile URL template of the map: {z}, {x}, {y} and optionally {s}.
    std::string map_tiles = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
    // The folder the speech files are written to; call-end events name a
    // file in it, and only those files are ever served.
    std::string audio_dir = ".";
    // Keep serving after the input ended (until Ctrl-C).
    bool linger = true;

    // Bounds. history: events the API and a new page can fetch.
    size_t history = 10000;
    // A client's queue; a client that falls this far behind is dropped.
    size_t client_queue_events = 4096;
    size_t client_queue_bytes = 4u << 20;
    // Live streams (events and speech) served at once; more get 503.
    size_t max_streams = 16;
};

// "PORT" or "ADDR:PORT" ("[v6addr]:PORT" for IPv6) into options. False with
// a one-line error for anything else (a port outside 0..65535, an empty
// address, trailing text).
bool parse_http_address(const std::string &text, http_options &options, std::string &error);

// "USER:PASSWORD" into options; false with a one-line error when the colon
// is missing or the user is empty.
bool parse_http_auth(const std::string &text, http_options &options, std::string &error);

// The checks that need every option: a non-loopback address needs
// --http-auth or --http-open; the tile URL must be http(s) with {z}, {x} and
// {y} and nothing that could break out of the page's security policy.
// Returns an empty string when all is well, else one line (no newline).
std::string check_http_options(const http_options &options);

// True for 127.0.0.0/8, ::1 and "localhost".
bool is_loopback_address(const std::string &address);

// The origin (scheme://host[:port]) the tiles come from, as the page's
// Content-Security-Policy names it; "{s}." becomes "*.". Empty when the
// template is not a usable http(s) URL.
std::string tile_origin(const std::string &map_tiles);

// The web monitor's lines of zelvane's usage text.
extern const char http_usage[];

// Takes argv[i] (with its value: "--http 8073" or "--http=8073") when it is
// one of the web monitor's options. Returns the number of arguments used
// (1 or 2), 0 when argv[i] is none of them, -1 with a one-line error.
// check_http_options() afterwards checks them together.
int take_http_argument(int argc, char **argv, int i, http_options &options, std::string &error);
