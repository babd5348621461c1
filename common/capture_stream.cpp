// SPDX-License-Identifier: MIT
#include "capture_stream.h"

#include <sys/types.h>

#include <cstdlib>
#include <new>

namespace {

struct capture {
    capture_function take;
    void *context;
};

ssize_t write_capture(void *cookie, const char *data, size_t size) {
    auto *c = static_cast<capture *>(cookie);
    if (c->take && size > 0) c->take(c->context, data, size);
    return static_cast<ssize_t>(size);
}

int close_capture(void *cookie) {
    delete static_cast<capture *>(cookie);
    return 0;
}

}  // namespace

FILE *open_capture_stream(capture_function take, void *context) {
    auto *c = new (std::nothrow) capture{take, context};
    if (!c) return nullptr;
    cookie_io_functions_t io{};
    io.write = write_capture;
    io.close = close_capture;
    FILE *stream = fopencookie(c, "w", io);
    if (!stream) {
        delete c;
        return nullptr;
    }
    setvbuf(stream, nullptr, _IOFBF, capture_buffer_bytes);
    return stream;
}
