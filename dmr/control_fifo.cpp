#include "control_fifo.h"

#include <fcntl.h>

void open_control_fifo(tessavox_state &state, const char *path) {
    std::fprintf(state.err, "control fifo: %s\n", path);
    FILE *file = std::fopen(path, "r");
    if (!file) {
        std::fprintf(state.err, "cannot open control fifo %s; going on without control input\n", path);
        state.control = nullptr;
        return;
    }
    int fd = fileno(file);
    int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    state.control = file;
}

void poll_control(tessavox_state &state) {
    if (!state.control) return;
    // A read that found nothing leaves the stream's error or end-of-file
    // flag set; clear it so that messages written later are still read.
    std::clearerr(state.control);
    for (;;) {
        std::size_t n = std::fread(state.control_buffer, 1, control_buffer_size, state.control);
        if (n < 2) break;
        if (state.control_buffer[1] == '\n') state.slot_filter = static_cast<uint8_t>(state.control_buffer[0] - '0');
    }
    std::clearerr(state.control);
}
