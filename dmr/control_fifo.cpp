// SPDX-License-Identifier: MIT
#include "control_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "voice_output.h"

namespace {

// Reads per poll, so that a writer that never pauses cannot hold up the
// symbol stream.
constexpr int max_reads_per_poll = 64;

void take_control_byte(tessavox_state &state, uint8_t byte) {
    if (byte == '\n') {
        if (!state.control_line_overlong) apply_control_line(state, state.control_line, state.control_line_length);
        state.control_line_length = 0;
        state.control_line_overlong = false;
        return;
    }
    if (state.control_line_overlong) return;
    if (state.control_line_length == control_line_limit) {
        state.control_line_overlong = true;
        state.control_line_length = 0;
        return;
    }
    state.control_line[state.control_line_length++] = byte;
}

void drop_partial_line(tessavox_state &state) {
    state.control_line_length = 0;
    state.control_line_overlong = false;
}

}  // namespace

void open_control_fifo(tessavox_state &state, const char *path) {
    std::fprintf(state.err, "control fifo: %s\n", path);
    state.control = nullptr;
    drop_partial_line(state);
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    bool usable = fd >= 0 && fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    FILE *file = usable ? fdopen(fd, "r") : nullptr;
    if (!file) {
        if (fd >= 0) close(fd);
        std::fprintf(state.err, "cannot open control fifo %s; going on without control input\n", path);
        return;
    }
    state.control = file;
}

void apply_control_line(tessavox_state &state, const uint8_t *line, int length) {
    if (length == 2 && line[1] == '\r') length = 1;
    if (length != 1 || line[0] < '0' || line[0] > '3') return;
    state.slot_filter = static_cast<uint8_t>(line[0] - '0');
    for (int slot = 0; slot < 2; ++slot)
        if ((state.slot_filter & (slot + 1)) == 0) release_voice_lock(state, slot);
}

void poll_control(tessavox_state &state) {
    if (!state.control) return;
    // Raw reads on the descriptor: a read that finds the fifo empty returns
    // at once (EAGAIN), and one that finds no writer returns 0, which ends a
    // partial line; a writer that opens the fifo later is read as before.
    int fd = fileno(state.control);
    for (int reads = 0; reads < max_reads_per_poll; ++reads) {
        ssize_t n = read(fd, state.control_buffer, control_buffer_size);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) take_control_byte(state, state.control_buffer[i]);
            continue;
        }
        if (n == 0) drop_partial_line(state);
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}
