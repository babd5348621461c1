// SPDX-License-Identifier: MIT
#include "chains.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "child_process.h"

unsigned long long feed_consumed(const feed &f) {
    unsigned long long unread = f.fd >= 0 ? unread_bytes(f.fd) : 0;
    return unread > f.written ? 0 : f.written - unread;
}

void feed_close(feed &f) {
    if (f.fd >= 0) close(f.fd);
    f.fd = -1;
    f.queue.clear();
}

void feed_pump(feed &f) {
    if (f.fd < 0) return;
    // At most one limit's worth per call. A child that reads as fast as it is
    // fed would otherwise take the whole queue within one call, before its
    // reports are read, and they would be stamped with a read position far
    // past the one they were written at.
    size_t budget = f.limit;
    while (!f.queue.empty() && budget > 0 && (f.closing || f.queue.size() >= f.chunk)) {
        size_t unread = unread_bytes(f.fd);
        if (unread >= f.limit) return;
        size_t n = std::min({f.queue.size(), f.limit - unread, budget});
        if (!f.closing) n -= n % f.chunk;
        if (n == 0) return;
        ssize_t done = write(f.fd, f.queue.data(), n);
        if (done < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return;
            feed_close(f);  // the child has gone: nothing more reaches it
            return;
        }
        f.queue.erase(0, static_cast<size_t>(done));
        f.written += static_cast<unsigned long long>(done);
        budget -= static_cast<size_t>(done);
    }
    if (f.closing && f.queue.empty()) feed_close(f);
}

namespace {

struct launcher {
    chain_set &set;
    std::string &error;
    int diagnostics_write = -1;

    std::string path_of(const std::string &program) {
        std::string path = find_program(program);
        if (path.empty()) error = "cannot find the program '" + program + "' next to zelvane or on PATH";
        return path;
    }

    bool start(const std::string &program, const std::vector<std::string> &args, child_fds fds) {
        std::string path = path_of(program);
        if (path.empty()) return false;
        fds.err = diagnostics_write;
        pid_t pid = spawn_child(path, args, fds, error);
        if (pid < 0) return false;
        set.children.push_back({pid, program});
        return true;
    }

    // A pipe whose read end zelvane keeps; the write end goes to a child.
    bool pipe_in(int &keep, int &give) {
        int fds[2];
        if (!make_pipe(fds)) {
            error = std::string("cannot make a pipe: ") + std::strerror(errno);
            return false;
        }
        keep = fds[0];
        give = fds[1];
        return true;
    }

    // A pipe whose write end zelvane keeps (non-blocking); the read end goes to a child.
    bool pipe_out(int &keep, int &give) {
        int fds[2];
        if (!make_pipe(fds)) {
            error = std::string("cannot make a pipe: ") + std::strerror(errno);
            return false;
        }
        keep = fds[1];
        give = fds[0];
        fcntl(keep, F_SETFL, fcntl(keep, F_GETFL) | O_NONBLOCK);
        return true;
    }
};

void close_all(std::initializer_list<int> fds) {
    for (int fd : fds)
        if (fd >= 0) close(fd);
}

// voxloom [-y] | speechsieve, reading from voice_read; speech comes back on speech_fd.
bool start_speech(launcher &l, int voice_read, bool tagged, int &speech_fd) {
    int pcm_read = -1, pcm_write = -1, speech_write = -1;
    if (!l.pipe_in(pcm_read, pcm_write)) return false;
    if (!l.pipe_in(speech_fd, speech_write)) return false;
    std::vector<std::string> vox_args;
    if (tagged) vox_args.push_back("-y");
    bool ok =
        l.start("voxloom", vox_args, {voice_read, pcm_write}) && l.start("speechsieve", {}, {pcm_read, speech_write});
    close_all({pcm_read, pcm_write, speech_write});
    return ok;
}

// tessavox or orbavox of one polarity; for a DMR chain of one slot, the
// control fifo lets that slot's voice alone through.
bool start_voice_chain(launcher &l, voice_chain &c, int slot_only, bool speech) {
    int sym_read = -1, meta_write = -1, ctl_read = -1, ctl_write = -1, voice_read = -1, voice_write = -1;
    if (!l.pipe_out(c.symbols.fd, sym_read) || !l.pipe_in(c.meta.fd, meta_write)) return false;
    if (speech && !l.pipe_in(voice_read, voice_write)) return false;
    std::vector<std::string> args = {"-f", "/dev/fd/3"};
    if (c.protocol == event_protocol::dmr && slot_only >= 0) {
        if (!l.pipe_out(ctl_write, ctl_read)) return false;
        // Slot filter mask: "1\n" admits slot 0's voice, "2\n" slot 1's.
        const char message[2] = {static_cast<char>('1' + slot_only), '\n'};
        if (write(ctl_write, message, 2) != 2) {
            l.error = "cannot write the control fifo";
            return false;
        }
        close(ctl_write);
        args.insert(args.end(), {"-c", "/dev/fd/4"});
    }
    bool ok = l.start(c.protocol == event_protocol::dmr ? "tessavox" : "orbavox", args,
                      {sym_read, voice_write, -1, meta_write, ctl_read});
    close_all({sym_read, meta_write, ctl_read, voice_write});
    if (ok && speech) ok = start_speech(l, voice_read, c.protocol == event_protocol::ysf, c.speech_fd);
    close_all({voice_read});
    return ok;
}

bool start_symbol_source(launcher &l, symbol_source &s, bool lock) {
    int in_read = -1, out_write = -1;
    if (!l.pipe_out(s.samples.fd, in_read) || !l.pipe_in(s.out_fd, out_write)) return false;
    std::vector<std::string> args;
    if (lock && s.inverted) args.push_back("-i");
    s.negate_input = !lock && s.inverted;
    bool ok = l.start(lock ? "quadlock" : "quadslice", args, {in_read, out_write});
    close_all({in_read, out_write});
    return ok;
}

bool start_page_chain(launcher &l, page_chain &p, bool lock, bool functions) {
    int in_read = -1, bits_write = -1, wick_read = -1, page_write = -1;
    if (!l.pipe_out(p.samples.fd, in_read) || !l.pipe_in(p.bits_fd, bits_write) || !l.pipe_out(p.bits.fd, wick_read) ||
        !l.pipe_in(p.pages.fd, page_write))
        return false;
    std::vector<std::string> args;
    if (lock) args.insert(args.end(), {"-r", std::to_string(p.baud)});
    if (p.inverted) args.push_back("-i");
    p.sample_stream = lock || p.baud == 1200 ? 0 : p.baud == 512 ? 1 : 2;
    bool ok = l.start(lock ? "duolock" : "duoslice", args, {in_read, bits_write});
    std::vector<std::string> wick_args;
    if (functions) wick_args.push_back("-F");
    ok = ok && l.start("pagewick", wick_args, {wick_read, page_write});
    close_all({in_read, bits_write, wick_read, page_write});
    return ok;
}

// True if this pagewick reports each page's function code: started with -F
// on empty input, it does not complain about the option.
bool pagewick_reports_functions(const std::string &path) {
    int fds[2];
    if (path.empty() || !make_pipe(fds)) return false;
    std::string ignored;
    pid_t pid = spawn_child(path, {"-F"}, {-1, -1, fds[1]}, ignored);
    close(fds[1]);
    std::string complaint;
    char buffer[4096];
    ssize_t n;
    while (pid > 0 && (n = read(fds[0], buffer, sizeof buffer)) > 0) complaint.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && complaint.find("option") == std::string::npos;
}

}  // namespace

bool start_chains(const zelvane_options &o, chain_set &set, std::string &error, std::string &notice) {
    launcher l{set, error};
    int diag_read = -1;
    if (!l.pipe_in(diag_read, l.diagnostics_write)) return false;
    set.diagnostics_fd = diag_read;
    fcntl(diag_read, F_SETFL, fcntl(diag_read, F_GETFL) | O_NONBLOCK);

    set.lock_demodulators = !o.exact;
    if (set.lock_demodulators &&
        (((o.dmr || o.ysf) && find_program("quadlock").empty()) || (o.pocsag && find_program("duolock").empty()))) {
        set.lock_demodulators = false;
        notice = "the tracking demodulators quadlock and duolock are not installed; using the exact slicers";
    }
    bool speech = !o.audio_dir.empty();
    bool ok = true;
    for (bool inverted : {false, true}) {
        if (!ok || !(o.dmr || o.ysf)) break;
        auto source = std::make_unique<symbol_source>();
        source->inverted = inverted;
        source->samples.limit = 16384;
        source->samples.chunk = 256 * sizeof(float);
        ok = start_symbol_source(l, *source, set.lock_demodulators);
        auto add_chain = [&](event_protocol protocol, int slot_only) {
            auto c = std::make_unique<voice_chain>();
            c->protocol = protocol;
            c->inverted = inverted;
            c->symbols.limit = 256;
            c->symbols.chunk = 128;
            for (int slot = 0; slot < (protocol == event_protocol::dmr ? 2 : 1); ++slot) {
                if (slot_only >= 0 && slot != slot_only) continue;
                call_tracker t;
                t.protocol = protocol;
                t.slot = slot;
                c->trackers.push_back(t);
                c->presented.push_back(false);
            }
            ok = ok && start_voice_chain(l, *c, slot_only, speech);
            source->chains.push_back(c.get());
            set.voices.push_back(std::move(c));
        };
        // With speech, one decoder per slot, each letting one slot's voice
        // through, so that every sample of speech belongs to a known slot.
        if (o.dmr && speech) {
            add_chain(event_protocol::dmr, 0);
            add_chain(event_protocol::dmr, 1);
        } else if (o.dmr) {
            add_chain(event_protocol::dmr, -1);
        }
        if (o.ysf) add_chain(event_protocol::ysf, -1);
        set.sources.push_back(std::move(source));
    }
    if (ok && o.pocsag) set.page_functions = pagewick_reports_functions(find_program("pagewick"));
    for (int baud : {512, 1200, 2400}) {
        for (bool inverted : {false, true}) {
            if (!ok || !o.pocsag) break;
            auto p = std::make_unique<page_chain>();
            p->baud = baud;
            p->inverted = inverted;
            p->samples.limit = 16384;
            p->samples.chunk = 256 * sizeof(float);
            p->bits.limit = 128;
            p->bits.chunk = 1;  // pagewick waits for its block itself; bits as they come keep its time current
            ok = start_page_chain(l, *p, set.lock_demodulators, set.page_functions);
            set.pages.push_back(std::move(p));
        }
    }
    close(l.diagnostics_write);
    return ok;
}

void stop_children(chain_set &set, bool terminate) {
    for (const child &c : set.children)
        if (terminate && c.pid > 0) kill(c.pid, SIGTERM);
    // Children whose input has closed end by themselves; one that has not
    // ended two seconds later is ended, so that zelvane never hangs on it.
    for (int waited_ms = 0;; waited_ms += 10) {
        bool running = false;
        for (child &c : set.children) {
            if (c.pid <= 0) continue;
            pid_t r = waitpid(c.pid, nullptr, WNOHANG);
            if (r == c.pid || (r < 0 && errno != EINTR))
                c.pid = -1;
            else
                running = true;
        }
        if (!running) return;
        if (waited_ms == 2000)
            for (const child &c : set.children)
                if (c.pid > 0) kill(c.pid, SIGKILL);
        usleep(10000);
    }
}
