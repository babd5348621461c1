// SPDX-License-Identifier: MIT
#include "audio_sink.h"

#include <fcntl.h>
#include <sndfile.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr int speech_rate = 8000;
// Calls with a file open at once; a run with more (a hostile stream of
// call ids, a band of hundreds of channels) records the rest without files.
constexpr size_t open_call_limit = 256;
// Names tried for one call before it is given up ("NAME-2" ... ).
constexpr int name_tries = 1000;

struct format_entry {
    const char *name, *extension;
    int format;
};

constexpr format_entry formats[] = {
    {"wav", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},          {"flac", "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"ogg", "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},          {"opus", "opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
    {"mp3", "mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

const format_entry *find_format(const std::string &name) {
    for (const format_entry &f : formats)
        if (name == f.name) return &f;
    return nullptr;
}

// libsndfile's virtual I/O into memory, to try an encoder without a file.
struct memory_file {
    std::vector<char> bytes;
    sf_count_t at = 0;
};

sf_count_t memory_length(void *user) { return static_cast<sf_count_t>(static_cast<memory_file *>(user)->bytes.size()); }
sf_count_t memory_seek(sf_count_t offset, int whence, void *user) {
    auto *m = static_cast<memory_file *>(user);
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : static_cast<sf_count_t>(m->bytes.size());
    if (base + offset < 0) return -1;
    m->at = base + offset;
    return m->at;
}
sf_count_t memory_read(void *ptr, sf_count_t count, void *user) {
    auto *m = static_cast<memory_file *>(user);
    sf_count_t left = static_cast<sf_count_t>(m->bytes.size()) - m->at;
    if (count > left) count = left > 0 ? left : 0;
    std::memcpy(ptr, m->bytes.data() + m->at, static_cast<size_t>(count));
    m->at += count;
    return count;
}
sf_count_t memory_write(const void *ptr, sf_count_t count, void *user) {
    auto *m = static_cast<memory_file *>(user);
    if (m->at + count > static_cast<sf_count_t>(m->bytes.size())) m->bytes.resize(static_cast<size_t>(m->at + count));
    std::memcpy(m->bytes.data() + m->at, ptr, static_cast<size_t>(count));
    m->at += count;
    return count;
}
sf_count_t memory_tell(void *user) { return static_cast<memory_file *>(user)->at; }

SF_INFO speech_info(int format) {
    SF_INFO info{};
    info.samplerate = speech_rate;
    info.channels = 1;
    info.format = format;
    return info;
}

void default_report(const std::string &line) { std::fprintf(stderr, "zelvane: %s\n", line.c_str()); }

// A WAV file's header made true to the whole samples on disk: a sample cut
// by a failed write is taken off, and libsndfile rewrites the header from
// the file's length when it closes.
void trim_wav(int fd, long long data_offset, long long samples) {
    if (ftruncate(fd, static_cast<off_t>(data_offset + 2 * samples)) != 0) {
        // The header is then rewritten from the length as it is.
    }
}

// The number of frames libsndfile reads back from the file part in dir, or
// -1 when it cannot read it.
long long frames_on_disk(int dir, const std::string &part) {
    int fd = openat(dir, part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    // The descriptor stays ours (libsndfile would close it on a failed open
    // too, and we must not close it twice).
    SF_INFO info{};
    SNDFILE *sf = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    long long frames = sf ? info.frames : -1;
    if (sf) sf_close(sf);
    close(fd);
    return frames;
}

}  // namespace

const char *audio_format_extension(const std::string &format) {
    const format_entry *f = find_format(format);
    return f ? f->extension : "";
}

bool audio_format_supported(const std::string &format, std::string &error) {
    const format_entry *f = find_format(format);
    if (!f) {
        error = "--audio-format: wav, flac, ogg, opus or mp3, not '" + safe_name_part(cut_utf8(format, 40)) + "'";
        return false;
    }
    SF_INFO info = speech_info(f->format);
    bool ok = sf_format_check(&info) != 0;
    if (ok) {
        memory_file m;
        SF_VIRTUAL_IO io{memory_length, memory_seek, memory_read, memory_write, memory_tell};
        SNDFILE *sf = sf_open_virtual(&io, SFM_WRITE, &info, &m);
        if (sf) {
            std::vector<short> silence(speech_rate / 10);
            ok = sf_write_short(sf, silence.data(), static_cast<sf_count_t>(silence.size())) ==
                 static_cast<sf_count_t>(silence.size());
            ok = sf_close(sf) == 0 && ok && !m.bytes.empty();
        } else {
            ok = false;
        }
    }
    if (!ok)
        error = std::string("--audio-format: this libsndfile (") + sf_version_string() + ") cannot write " + f->name;
    return ok;
}

std::unique_ptr<event_sink> make_audio_sink(const audio_options &options, std::string &error) {
    if (!audio_format_supported(options.format, error)) return nullptr;
    name_template t;
    if (!parse_name_template(options.name_template, t, error)) return nullptr;
    const std::string &dir = options.folder;
    if (dir.empty()) {
        error = "--audio-dir needs a folder";
        return nullptr;
    }
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        error = "cannot make the folder '" + dir + "': " + std::strerror(errno);
        return nullptr;
    }
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || faccessat(fd, ".", W_OK, 0) != 0) {
        if (fd >= 0) close(fd);
        error = "'" + dir + "' is not a folder zelvane can write to";
        return nullptr;
    }
    std::unique_ptr<audio_sink> sink(new audio_sink());
    sink->options_ = options;
    if (!sink->options_.report) sink->options_.report = default_report;
    sink->template_ = std::move(t);
    sink->dir_ = fd;
    sink->format_ = find_format(options.format)->format;
    sink->extension_ = find_format(options.format)->extension;
    return sink;
}

audio_sink::~audio_sink() {
    finish(true);
    if (dir_ >= 0) close(dir_);
}

void audio_sink::failure(const std::string &what, int error_number) {
    if (reported_) return;
    reported_ = true;
    options_.report(what + (error_number ? std::string(": ") + std::strerror(error_number) : std::string()) +
                    "; speech files may be cut short or missing from here on");
}

bool audio_sink::exists(const std::string &name) const {
    struct stat st {};
    return fstatat(dir_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// The sidecar's name or its temporary name (left by a run that was killed)
// is taken.
bool audio_sink::sidecar_taken(const std::string &stem) const {
    return exists(stem + ".json") || exists("." + stem + ".json.part");
}

// Renames part to name unless name exists (a file, a symlink, anything):
// renameat2's RENAME_NOREPLACE, or a hard link where the file system lacks
// it. False with errno EEXIST when the name is taken.
bool audio_sink::place(const std::string &part, const std::string &name) {
    if (renameat2(dir_, part.c_str(), dir_, name.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    if (linkat(dir_, part.c_str(), dir_, name.c_str(), 0) == 0) {
        unlinkat(dir_, part.c_str(), 0);
        return true;
    }
    if (errno == EEXIST) return false;
    if (exists(name)) {
        errno = EEXIST;
        return false;
    }
    return renameat(dir_, part.c_str(), dir_, name.c_str()) == 0;
}

void audio_sink::open_file(call &c) {
    c.tried = true;
    if (calls_open() >= open_call_limit) {
        if (!too_many_reported_)
            options_.report("more than " + std::to_string(open_call_limit) +
                            " calls at once: the further calls get no speech file");
        too_many_reported_ = true;
        ++lost_;
        return;
    }
    const std::string stem = file_stem(template_, c.record.first);
    for (int n = 1; n <= name_tries; ++n) {
        std::string candidate = n == 1 ? stem : stem + "-" + std::to_string(n);
        if (exists(candidate + "." + extension_) || (options_.sidecars && sidecar_taken(candidate))) continue;
        std::string part = "." + candidate + "." + extension_ + ".part";
        int fd = openat(dir_, part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            failure("cannot write '" + options_.folder + "/" + part + "'", errno);
            ++lost_;
            return;
        }
        SF_INFO info = speech_info(format_);
        errno = 0;
        SNDFILE *sf = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);  // the descriptor stays ours
        struct stat st {};
        if (!sf || fstat(fd, &st) != 0 || ((format_ & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && st.st_size == 0)) {
            // A full disk takes even the header: no 0-byte file is left.
            int why = errno;
            std::string reason = sf ? "" : std::string(" (") + sf_strerror(nullptr) + ")";
            if (sf) sf_close(sf);
            close(fd);
            unlinkat(dir_, part.c_str(), 0);
            failure("cannot write '" + options_.folder + "/" + part + "'" + reason, why);
            ++lost_;
            return;
        }
        if ((format_ & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) {
            sf_command(sf, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
            c.data_offset = st.st_size;
        }
        c.file = sf;
        c.fd = fd;
        c.stem = stem;
        c.number = n;
        c.part = part;
        return;
    }
    failure("no free name for '" + options_.folder + "/" + stem + "." + extension_ + "'", 0);
    ++lost_;
}

size_t audio_sink::calls_open() const {
    size_t n = 0;
    for (const auto &[id, c] : calls_) n += c.file != nullptr;
    return n;
}

void audio_sink::take(event &e) {
    if (e.call_id == 0 || e.protocol == event_protocol::pocsag ||
        (e.kind != event_kind::call && e.kind != event_kind::call_end))
        return;
    auto found = calls_.find(e.call_id);
    if (found == calls_.end()) {
        if (e.kind == event_kind::call_end) return;        // a call begun before this sink
        if (calls_.size() >= 4 * open_call_limit) return;  // calls that never end: not followed
        found = calls_.emplace(e.call_id, call{}).first;
        found->second.record.audio_format = options_.format;
    }
    call &c = found->second;
    call_record_take(c.record, e);
    if (e.kind != event_kind::call_end) return;
    e.audio = close_file(c);
    calls_.erase(found);
}

void audio_sink::speech(uint64_t call_id, const int16_t *samples, size_t count) {
    auto found = calls_.find(call_id);
    if (found == calls_.end() || count == 0) return;  // before the call's first event, or after its end
    call &c = found->second;
    if (!c.tried) open_file(c);
    if (!c.file || c.broken) return;
    auto *sf = static_cast<SNDFILE *>(c.file);
    errno = 0;
    sf_count_t wrote = sf_write_short(sf, samples, static_cast<sf_count_t>(count));
    int why = errno;
    if (wrote > 0) c.record.samples += wrote;
    if (wrote == static_cast<sf_count_t>(count) && sf_error(sf) == SF_ERR_NO_ERROR) return;
    c.broken = true;
    c.record.audio_cut = true;
    failure(std::string("cannot write '") + options_.folder + "/" + c.part + "'" +
                (why ? "" : std::string(" (") + sf_strerror(sf) + ")"),
            why);
}

// Closes the call's file and gives it its name; the name, or empty when
// the call keeps no file.
std::string audio_sink::close_file(call &c) {
    if (!c.file) return "";
    auto *sf = static_cast<SNDFILE *>(c.file);
    const bool wav = (format_ & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
    if (c.broken && wav) trim_wav(c.fd, c.data_offset, c.record.samples);
    bool closed = sf_close(sf) == 0;
    closed = close(c.fd) == 0 && closed;  // a network file system tells of a full disk only here
    c.file = nullptr;
    c.fd = -1;
    // Keep only what reads back as what was written: a WAV file cut short
    // by a failed write holds its whole samples; a compressed file whose
    // encoder could not finish is not kept.
    bool keep = c.record.samples > 0 && (closed || wav) && (!c.broken || wav);
    if (keep) {
        long long frames = frames_on_disk(dir_, c.part);
        keep = wav ? frames == c.record.samples : frames > 0;
        if (!keep && !reported_)
            failure("the speech file '" + options_.folder + "/" + c.part + "' did not read back", 0);
    }
    if (!keep) {
        unlinkat(dir_, c.part.c_str(), 0);
        if (c.record.samples > 0) ++lost_;
        return "";
    }
    std::string name;
    for (int n = c.number; n <= c.number + name_tries; ++n) {
        // The name chosen when the file was made, or the next free one when
        // another file took it meanwhile.
        std::string stem = n == 1 ? c.stem : c.stem + "-" + std::to_string(n);
        if (options_.sidecars && sidecar_taken(stem)) continue;
        if (place(c.part, stem + "." + extension_)) {
            name = stem;
            break;
        }
        if (errno != EEXIST) break;
    }
    if (name.empty()) {
        failure("cannot name the speech file '" + options_.folder + "/" + c.part + "'", errno);
        ++lost_;
        return "";
    }
    std::string audio = name + "." + extension_;
    c.record.audio = audio;
    if (c.broken)
        ++cut_;
    else
        ++written_;
    if (options_.sidecars) write_sidecar(c, name);
    return audio;
}

void audio_sink::write_sidecar(call &c, const std::string &stem) {
    std::string text = sidecar_json(c.record);
    std::string part = "." + stem + ".json.part";
    int fd = openat(dir_, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure("cannot write '" + options_.folder + "/" + part + "'", errno);
        return;
    }
    size_t done = 0;
    int why = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && why == 0) why = errno;
    if (why == 0 && place(part, stem + ".json")) return;
    if (why == 0) why = errno;
    unlinkat(dir_, part.c_str(), 0);
    failure("cannot write '" + options_.folder + "/" + stem + ".json'", why);
}

void audio_sink::finish(bool interrupted) {
    for (auto &[id, c] : calls_) {
        c.record.interrupted = interrupted;
        // The call ran at least as long as its speech.
        c.record.stop =
            std::max(c.record.stop, c.record.first.time + static_cast<double>(c.record.samples) / speech_rate);
        close_file(c);
    }
    calls_.clear();
}
