// SPDX-License-Identifier: MIT
#pragma once
// The speech files (-a DIR): one sound file per call, with a JSON sidecar of
// the same name ending in ".json". Both are written under a hidden
// temporary name (".NAME.wav.part") and renamed when the call ends (the
// sound first, the sidecar last), so that a folder watcher never takes a
// half-written file: a sidecar appearing means its call is complete.
//
// Files are created exclusively and never through a symlink; a name that
// exists already is never overwritten (the call gets "-2", "-3", ...).
// When writing fails (a full disk), the failure is reported once and
// decoding goes on: a WAV file keeps what was written whole, its header
// true to it; a compressed file that could not be finished is removed.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "file_name_template.h"
#include "sidecar.h"
#include "sink.h"

struct audio_options {
    std::string folder;          // made when missing
    std::string format = "wav";  // wav, flac, ogg, opus, mp3
    std::string name_template;   // --audio-name; empty: the default names
    bool sidecars = true;        // the .json next to each file
    // Where the one-line reports go (no "zelvane: ", no newline); unset:
    // standard error as "zelvane: ...".
    std::function<void(const std::string &)> report;
};

// True when the installed libsndfile can write speech files in format
// (tried by encoding a moment of silence); else false with one line, e.g.
// "--audio-format: this libsndfile cannot write mp3". For the option parser.
bool audio_format_supported(const std::string &format, std::string &error);

// The file name extension of a format ("wav", "flac", "ogg", "opus", "mp3").
const char *audio_format_extension(const std::string &format);

// The speech-file sink, or null with a one-line reason (a folder that
// cannot be made or written, a format or template that cannot be used).
std::unique_ptr<event_sink> make_audio_sink(const audio_options &options, std::string &error);

class audio_sink : public event_sink {
   public:
    ~audio_sink() override;
    void take(event &e) override;
    void speech(uint64_t call_id, const int16_t *samples, size_t count) override;
    void finish(bool interrupted) override;

    // Counts for the end of a run: files renamed whole, files that hold
    // less than their call (writing failed), calls whose file was lost.
    long long files_written() const { return written_; }
    long long files_cut() const { return cut_; }
    long long files_lost() const { return lost_; }

   private:
    friend std::unique_ptr<event_sink> make_audio_sink(const audio_options &, std::string &);
    audio_sink() = default;

    struct call {
        call_record record;
        void *file = nullptr;  // SNDFILE
        int fd = -1;
        std::string stem, part;     // the call's name (without number) and its temporary file
        int number = 1;             // 1, or the n of "NAME-n" that told it apart
        long long data_offset = 0;  // WAV: where the samples start
        bool tried = false;         // the file was created (or could not be)
        bool broken = false;        // a write failed
    };

    size_t calls_open() const;
    void open_file(call &c);
    std::string close_file(call &c);
    void failure(const std::string &what, int error_number);
    bool exists(const std::string &name) const;
    bool sidecar_taken(const std::string &stem) const;
    bool place(const std::string &part, const std::string &name);
    void write_sidecar(call &c, const std::string &audio);

    audio_options options_;
    name_template template_;
    int dir_ = -1;
    int format_ = 0;
    std::string extension_;
    std::map<uint64_t, call> calls_;
    bool reported_ = false, too_many_reported_ = false;
    long long written_ = 0, cut_ = 0, lost_ = 0;
};
