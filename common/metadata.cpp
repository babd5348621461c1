// SPDX-License-Identifier: MIT
#include "metadata.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "text_escape.h"

namespace {

constexpr int line_size = 256;

// Formats one field into its own buffer and appends it to the line, never
// past the line's 256 bytes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
__attribute__((format(printf, 3, 4))) void append_field(char *line, int &length, const char *format, ...) {
    char field[line_size];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(field, sizeof field, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > line_size - 1) n = line_size - 1;
    int room = line_size - 1 - length;
    if (n > room) n = room;
    std::memcpy(line + length, field, static_cast<size_t>(n));
    length += n;
    line[length] = 0;
}
#pragma GCC diagnostic pop

// Appends "key:VALUE;" for a call-sign field of up to 10 bytes that ends at
// its first zero byte, with the value escaped so that it stays one field.
void append_call_sign(char *line, int &length, const char *key, const char (&value)[10]) {
    size_t text_length = 0;
    while (text_length < sizeof value && value[text_length]) ++text_length;
    char escaped[4 * sizeof value + 1];
    escape_text(escaped, sizeof escaped, value, text_length, escape_set::metadata_value);
    append_field(line, length, "%s:%s;", key, escaped);
}

bool known(const char *text) { return text && text[0]; }

// Writes what the fifo takes of text; returns how many bytes it took (0 when
// it is full, its reader is gone or the write failed otherwise).
int write_some(int fd, const char *text, int length) {
    for (;;) {
        const ssize_t n = write(fd, text, static_cast<size_t>(length));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return 0;
    }
}

// Completes the partial line; true when none is left.
bool finish_partial(int fd, metadata_backlog &b) {
    while (b.partial_written < b.partial_length) {
        const int n = write_some(fd, b.partial + b.partial_written, b.partial_length - b.partial_written);
        if (n == 0) return false;
        b.partial_written += n;
    }
    b.partial_length = 0;
    b.partial_written = 0;
    return true;
}

// The owner of the oldest pending line, or -1.
int oldest_pending(const metadata_backlog &b) {
    int oldest = -1;
    for (int k = 0; k < metadata_line_owners; ++k)
        if (b.pending_length[k] > 0 && (oldest < 0 || b.pending_order[k] - b.pending_order[oldest] > (1u << 31)))
            oldest = k;
    return oldest;
}

void drain_backlog(int fd, metadata_backlog &b) {
    if (!finish_partial(fd, b)) return;
    for (int k = oldest_pending(b); k >= 0; k = oldest_pending(b)) {
        const int length = b.pending_length[k];
        const int n = write_some(fd, b.pending[k], length);
        if (n == 0) return;
        b.pending_length[k] = 0;
        if (n < length) {
            std::memcpy(b.partial, b.pending[k] + n, static_cast<size_t>(length - n));
            b.partial_length = length - n;
            b.partial_written = 0;
            if (!finish_partial(fd, b)) return;
        }
    }
}

// Sends the newest line of an owner: through the backlog to a descriptor,
// else straight into the stream.
void send_line(const metadata_fifo &fifo, int owner, const char *line, int length) {
    const int fd = fileno(fifo.stream);
    if (fd < 0) {
        std::fwrite(line, 1, static_cast<size_t>(length), fifo.stream);
        std::fflush(fifo.stream);
        return;
    }
    metadata_backlog &b = fifo.backlog;
    std::memcpy(b.pending[owner], line, static_cast<size_t>(length));
    b.pending_length[owner] = length;
    b.pending_order[owner] = b.next_order++;
    drain_backlog(fd, b);
}

}  // namespace

void open_metadata_fifo(metadata_fifo &fifo, const char *path, FILE *err) {
    std::fprintf(err, "meta fifo: %s\n", path);
    fifo.backlog = metadata_backlog{};
    fifo.stream = std::fopen(path, "w");
    if (!fifo.stream) {
        std::fprintf(err, "cannot open metadata fifo %s; going on without metadata\n", path);
        return;
    }
    // The open waited for a reader; from now on a reader that stalls must
    // not stall the voice.
    const int fd = fileno(fifo.stream);
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void send_pending_metadata(const metadata_fifo &fifo) {
    if (!fifo.stream) return;
    const int fd = fileno(fifo.stream);
    if (fd >= 0) drain_backlog(fd, fifo.backlog);
}

void reset_slot_record(slot_record &record) {
    record.sync = "";
    record.type = "";
    record.source = 0;
    record.target = 0;
    std::memset(record.alias, 0, sizeof record.alias);
    record.has_position = false;
    record.latitude = 0.0;
    record.longitude = 0.0;
    clear_call_options(record);
}

void clear_call_options(slot_record &record) {
    record.encrypted = false;
    record.has_pi_header = false;
    record.algorithm = 0;
    record.key_id = 0;
    record.emergency = false;
    record.broadcast = false;
    record.open_voice_call_mode = false;
    record.priority = 0;
}

int compose_slot_line(char line[256], const slot_record &record, uint8_t slot) {
    int length = 0;
    line[0] = 0;
    append_field(line, length, "protocol:DMR;slot:%i;", slot);
    if (known(record.sync)) append_field(line, length, "sync:%s;", record.sync);
    if (known(record.type)) append_field(line, length, "type:%s;", record.type);
    if (record.source != 0) append_field(line, length, "source:%i;", record.source);
    if (record.target != 0) append_field(line, length, "target:%i;", record.target);
    // The privacy and service options go last; composed first, so that the
    // alias leaves room for them.
    char options[line_size];
    int options_length = 0;
    options[0] = 0;
    if (record.encrypted) append_field(options, options_length, "encrypted:1;");
    if (record.has_pi_header)
        append_field(options, options_length, "algorithm:%i;key_id:%i;", record.algorithm, record.key_id);
    if (record.emergency) append_field(options, options_length, "emergency:1;");
    if (record.broadcast) append_field(options, options_length, "broadcast:1;");
    if (record.open_voice_call_mode) append_field(options, options_length, "ovcm:1;");
    if (record.priority > 0) append_field(options, options_length, "priority:%i;", record.priority);
    if (record.alias[0]) {
        // Cut an alias of many escaped bytes so that the position, the
        // options and the newline after it still fit the line.
        constexpr int position_field_room = 32;  // "lat:-90.000000;lon:-180.000000;"
        int room = line_size - 1 - length - position_field_room - options_length - 1 - 7;  // newline, "alias:" and ";"
        char escaped[4 * slot_alias_size + 1];
        size_t capacity = room > 0 ? static_cast<size_t>(room) + 1 : 1;
        if (capacity > sizeof escaped) capacity = sizeof escaped;
        escape_text(escaped, capacity, record.alias, strnlen(record.alias, sizeof record.alias),
                    escape_set::metadata_value);
        append_field(line, length, "alias:%s;", escaped);
    }
    if (record.has_position) append_field(line, length, "lat:%.6f;lon:%.6f;", record.latitude, record.longitude);
    if (options_length > 0) append_field(line, length, "%s", options);
    append_field(line, length, "\n");
    return length;
}

void send_dmr_event_line(const metadata_fifo &fifo, uint8_t slot, const char *line, int length) {
    if (!fifo.stream || length <= 0) return;
    if (length > metadata_line_limit - 1) length = metadata_line_limit - 1;
    send_line(fifo, metadata_dmr_event_owner + (slot == 0 ? 0 : 1), line, length);
}

void send_slot_metadata(const metadata_fifo &fifo, const slot_record &record, uint8_t slot) {
    if (!fifo.stream) return;
    char line[line_size];
    int length = compose_slot_line(line, record, slot);
    send_line(fifo, slot == 0 ? 0 : 1, line, length);
}

void reset_ysf_record(ysf_record &record) {
    std::memset(record.mode, 0, sizeof record.mode);
    std::memset(record.target, 0, sizeof record.target);
    std::memset(record.source, 0, sizeof record.source);
    std::memset(record.down, 0, sizeof record.down);
    std::memset(record.up, 0, sizeof record.up);
    record.has_position = false;
    record.latitude = 0.0f;
    record.longitude = 0.0f;
    record.radio = nullptr;
}

int compose_ysf_line(char line[256], const ysf_record &record) {
    int length = 0;
    line[0] = 0;
    append_field(line, length, "protocol:YSF;");
    if (record.mode[0]) append_field(line, length, "mode:%.2s;", record.mode);
    if (record.source[0]) append_call_sign(line, length, "source", record.source);
    if (record.target[0]) append_call_sign(line, length, "target", record.target);
    if (record.up[0]) append_call_sign(line, length, "up", record.up);
    if (record.down[0]) append_call_sign(line, length, "down", record.down);
    if (record.has_position)
        append_field(line, length, "lat:%.6f;lon:%.6f;", static_cast<double>(record.latitude),
                     static_cast<double>(record.longitude));
    if (record.radio) append_field(line, length, "radio:%s;", record.radio);
    append_field(line, length, "\n");
    return length;
}

void send_ysf_metadata(const metadata_fifo &fifo, const ysf_record &record) {
    if (!fifo.stream) return;
    char line[line_size];
    int length = compose_ysf_line(line, record);
    send_line(fifo, metadata_ysf_owner, line, length);
}
