// SPDX-License-Identifier: MIT
#include "chain_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

chain_result run_chain(const std::string &script, const std::vector<std::string> &args) {
    const std::string dir = make_temp_dir();
    const std::string fifo = dir + "/meta";
    chain_result result;
    if (mkfifo(fifo.c_str(), 0600) != 0) return result;
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    std::vector<std::string> sh_args = {"-c", "META=\"$0\"; " + script, fifo};
    sh_args.insert(sh_args.end(), args.begin(), args.end());
    program_result r = run_program("/bin/sh", sh_args, "", 0, 30000);
    result.out = r.out;
    result.err = r.err;
    result.exit_code = r.timed_out ? -2 : r.exit_code;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n > 0)
            result.meta.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    close(reader);
    unlink(fifo.c_str());
    rmdir(dir.c_str());
    return result;
}

std::string shell_words(const std::vector<std::string> &words) {
    std::string out;
    for (const std::string &w : words) {
        if (!out.empty()) out += ' ';
        out += '\'';
        for (char c : w) {
            if (c == '\'')
                out += "'\\''";
            else
                out += c;
        }
        out += '\'';
    }
    return out;
}
