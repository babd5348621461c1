#pragma once
// Support for the harnesses: an in-memory output stream that each input
// starts empty, and a sink for the text no harness looks at.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

// A stream whose bytes the harness reads back after the input: opened per
// input, closed and freed by the destructor.
struct memory_stream {
    char *data = nullptr;
    std::size_t size = 0;
    FILE *file = open_memstream(&data, &size);

    memory_stream() = default;
    memory_stream(const memory_stream &) = delete;
    memory_stream &operator=(const memory_stream &) = delete;
    ~memory_stream() {
        std::fclose(file);
        std::free(data);
    }
    std::string_view bytes() {
        std::fflush(file);
        return std::string_view(data, size);
    }
};

// /dev/null, opened once for the whole fuzzing run.
inline FILE *null_stream() {
    static FILE *sink = std::fopen("/dev/null", "w");
    return sink;
}

// Stops the run with a report that the fuzzer records as a finding.
[[noreturn]] inline void fuzz_fail(const char *what) {
    std::fprintf(stderr, "harness check failed: %s\n", what);
    std::abort();
}
