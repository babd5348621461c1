// SPDX-License-Identifier: MIT
// The time to load a radio-id list of the size RadioID.net publishes
// (300 000 lines of its user.csv layout), written here first.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

#include "names.h"

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char **argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 300000;
    char path[] = "/tmp/names_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 1;
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out << "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n";
        for (int k = 0; k < lines; ++k)
            out << 1000000 + k * 7 << ",DL" << k << "ABC,\"Jürgen " << k % 97 << "\",Muster,Berlin,Berlin,Germany\r\n";
    }
    name_table table;
    std::vector<std::string> warnings;
    std::string error;
    const double cpu = cpu_seconds();
    auto start = std::chrono::steady_clock::now();
    bool ok = load_names(path, table, warnings, error);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double used = cpu_seconds() - cpu;
    unlink(path);
    if (!ok || table.by_id.size() != static_cast<size_t>(lines)) {
        std::fprintf(stderr, "names_bench: %s (%zu names)\n", error.c_str(), table.by_id.size());
        return 1;
    }
    std::printf("radio-id list of %d lines: loaded in %.3f s (%.3f s CPU; %zu names, %zu warnings)\n", lines, seconds,
                used, table.by_id.size(), warnings.size());
    return 0;
}
