// SPDX-License-Identifier: MIT
#include "http_options.h"

#include <charconv>

namespace {

bool parse_port(const std::string &text, int &port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) return false;
    port = value;
    return true;
}

// Characters a tile URL may hold: enough for any tile server's template,
// none that ends a directive of the security policy (';', ',', spaces) or
// quotes.
bool tile_char(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    for (char ok : std::string_view("-._~:/?#[]@!$&()*+={}%")) {
        if (c == ok) return true;
    }
    return false;
}

}  // namespace

bool parse_http_address(const std::string &text, http_options &options, std::string &error) {
    std::string address = "127.0.0.1";
    std::string port_text = text;
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        port_text = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        if (address.empty()) {
            error = "--http: empty address in \"" + text + "\" (give ADDR:PORT or a bare PORT for 127.0.0.1)";
            return false;
        }
    }
    int port = 0;
    if (!parse_port(port_text, port)) {
        error = "--http: \"" + text + "\" is not [ADDR:]PORT with a port from 0 to 65535";
        return false;
    }
    options.address = address;
    options.port = port;
    return true;
}

bool parse_http_auth(const std::string &text, http_options &options, std::string &error) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        error = "--http-auth: give USER:PASSWORD";
        return false;
    }
    options.user = text.substr(0, colon);
    options.password = text.substr(colon + 1);
    return true;
}

bool is_loopback_address(const std::string &address) {
    if (address == "localhost" || address == "::1") return true;
    return address.rfind("127.", 0) == 0;
}

std::string tile_origin(const std::string &map_tiles) {
    size_t scheme_end = map_tiles.find("://");
    if (scheme_end == std::string::npos) return "";
    std::string scheme = map_tiles.substr(0, scheme_end);
    if (scheme != "http" && scheme != "https") return "";
    size_t host_start = scheme_end + 3;
    size_t host_end = map_tiles.find('/', host_start);
    std::string host =
        map_tiles.substr(host_start, host_end == std::string::npos ? std::string::npos : host_end - host_start);
    if (host.empty() || host.find('@') != std::string::npos) return "";
    if (host.rfind("{s}.", 0) == 0) host = "*." + host.substr(4);
    if (host.find('{') != std::string::npos) return "";
    return scheme + "://" + host;
}

std::string check_http_options(const http_options &options) {
    if (options.port < 0) return "";
    if (!is_loopback_address(options.address) && options.user.empty() && !options.open)
        return "--http " + options.address +
               ": an address other machines can reach needs --http-auth USER:PASSWORD (or --http-open to serve "
               "without one)";
    if (!options.user.empty() && options.user.find(':') != std::string::npos)
        return "--http-auth: the user name cannot hold ':'";
    if (options.map_tiles.size() > 1000) return "--map-tiles: the URL is too long";
    for (char c : options.map_tiles) {
        if (!tile_char(c)) return "--map-tiles: the URL holds a character a tile URL cannot hold";
    }
    if (tile_origin(options.map_tiles).empty())
        return "--map-tiles: give an http or https URL template such as "
               "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
    for (const char *key : {"{z}", "{x}", "{y}"}) {
        if (options.map_tiles.find(key) == std::string::npos)
            return std::string("--map-tiles: the URL template needs ") + key;
    }
    if (options.history == 0 || options.client_queue_events == 0 || options.max_streams == 0)
        return "--http: the history and queue bounds must be at least 1";
    return "";
}

const char http_usage[] =
    "  --http [ADDR:]PORT     serve a live web monitor (page and API) on PORT; a bare port\n"
    "                         listens on 127.0.0.1 only; after a file input ends zelvane keeps\n"
    "                         serving until Ctrl-C\n"
    "  --http-auth USER:PASSWORD\n"
    "                         require this user and password (HTTP Basic); needed for an\n"
    "                         address other machines can reach\n"
    "  --http-open            serve an address other machines can reach without a password\n"
    "  --map-tiles URL        the monitor map's tile URL template, {z}/{x}/{y} and optional {s}\n"
    "                         (default https://tile.openstreetmap.org/{z}/{x}/{y}.png)\n";

int take_http_argument(int argc, char **argv, int i, http_options &options, std::string &error) {
    std::string arg = argv[i];
    std::string name = arg.substr(0, arg.find('='));
    bool inline_value = name.size() < arg.size();
    if (name == "--http-open") {
        if (inline_value) {
            error = "--http-open takes no value";
            return -1;
        }
        options.open = true;
        return 1;
    }
    if (name != "--http" && name != "--http-auth" && name != "--map-tiles") return 0;
    std::string value;
    int used = 1;
    if (inline_value) {
        value = arg.substr(name.size() + 1);
    } else if (i + 1 < argc) {
        value = argv[i + 1];
        used = 2;
    } else {
        error = name + " needs a value";
        return -1;
    }
    if (name == "--http") return parse_http_address(value, options, error) ? used : -1;
    if (name == "--http-auth") return parse_http_auth(value, options, error) ? used : -1;
    options.map_tiles = value;
    return used;
}
