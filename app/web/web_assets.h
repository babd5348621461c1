// SPDX-License-Identifier: MIT
#pragma once
// The monitor page's files (HTML, CSS, JavaScript), compiled into the
// program from app/web/ so that the binary serves its page without finding
// any file at run time.

#include <cstddef>
#include <string_view>

struct web_asset {
    std::string_view path;  // "/index.html", "/monitor.js", ...
    std::string_view content_type;
    std::string_view body;
};

// The file served at path ("/" is "/index.html"), or null.
const web_asset *find_web_asset(std::string_view path);
