// SPDX-License-Identifier: MIT
#include "audio_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sndfile.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

event dmr_call(uint64_t id, double time, long source, long target, int slot = 1) {
    event e;
    e.call_id = id, e.time = time, e.slot = slot, e.type = "group", e.source = source, e.target = target;
    return e;
}

event ysf_call(uint64_t id, double time, std::string source, std::string target) {
    event e;
    e.protocol = event_protocol::ysf, e.mode = "V/D mode 2";
    e.call_id = id, e.time = time, e.ysf_source = std::move(source), e.ysf_target = std::move(target);
    return e;
}

event ended(event e, double time) {
    e.kind = event_kind::call_end;
    e.duration = time - e.time;
    e.time = time;
    return e;
}

std::vector<int16_t> tone(size_t count, int seed = 1) {
    std::vector<int16_t> s(count);
    for (size_t k = 0; k < count; ++k)
        s[k] = static_cast<int16_t>(8000 * std::sin(0.05 * seed * static_cast<double>(k)));
    return s;
}

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

uint32_t le32(const std::string &b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// A WAV file checked by its bytes and read back through libsndfile: the
// header tells exactly what the file holds. Its samples.
std::vector<int16_t> whole_wav(const std::string &path) {
    SCOPED_TRACE(path);
    std::string bytes = read_all(path);
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(bytes.size() % 2, 0u);
    SF_INFO info{};
    SNDFILE *sf = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    if (!sf) return {};
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>((bytes.size() - 44) / 2));
    std::vector<int16_t> samples(static_cast<size_t>(info.frames));
    EXPECT_EQ(sf_read_short(sf, samples.data(), info.frames), info.frames);
    sf_close(sf);
    return samples;
}

rapidjson::Document sidecar(const std::string &path) {
    rapidjson::Document d;
    std::string text = read_all(path);
    d.Parse(text.c_str());
    EXPECT_FALSE(d.HasParseError()) << path << ": " << text;
    EXPECT_TRUE(d.IsObject());
    return d;
}

class AudioSinkTest : public ::testing::Test {
   protected:
    void SetUp() override {
        char templ[] = "/tmp/audio_sink_test_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        dir = root + "/calls";
        descriptors = open_descriptors();
    }
    void TearDown() override {
        sink.reset();
        EXPECT_EQ(open_descriptors(), descriptors) << "a descriptor left open";
        if (mounted) umount2(dir.c_str(), MNT_DETACH);
        fs::remove_all(root);
    }

    void make(audio_options o = {}) {
        o.folder = dir;
        o.report = [this](const std::string &line) { reports.push_back(line); };
        std::string error;
        sink = make_audio_sink(o, error);
        ASSERT_TRUE(sink) << error;
    }

    void talk(uint64_t id, size_t count, int seed = 1, size_t chunk = 160) {
        std::vector<int16_t> s = tone(count, seed);
        for (size_t at = 0; at < count; at += chunk) sink->speech(id, s.data() + at, std::min(chunk, count - at));
    }

    std::vector<std::string> files(const std::string &where = "") const {
        std::vector<std::string> out;
        for (const auto &entry : fs::directory_iterator(where.empty() ? dir : where))
            out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    static size_t open_descriptors() {
        size_t n = 0;
        for ([[maybe_unused]] const auto &entry : fs::directory_iterator("/proc/self/fd")) ++n;
        return n;
    }

    std::string root, dir;
    size_t descriptors = 0;
    std::unique_ptr<event_sink> sink;
    std::vector<std::string> reports;
    bool mounted = false;
};

// One call from its first event to its end: hidden while written, then the
// sound and its sidecar under the call's name, the name reported on the
// call-end for the sinks after this one.
TEST_F(AudioSinkTest, CallWrittenHiddenThenNamed) {
    make();
    event start = dmr_call(5, 0.48, 2001, 9);
    start.utc = "2026-12-11T11:19:35.480Z";
    start.frequency = 0;
    sink->take(start);
    talk(5, 4000, 1);
    EXPECT_EQ(files(), std::vector<std::string>{".0000.480s-DMR-slot1-2001-to-9.wav.part"});
    event update = start;
    update.time = 1.0, update.source = 3100, update.alias = "Bob";
    sink->take(update);
    talk(5, 4000, 2);
    event end = ended(update, 1.6);
    end.utc = "2026-12-11T11:19:36.600Z";
    add_number(end, "voice_frames", 50);
    add_number(end, "voice_frames_corrected", 3);
    add_number(end, "voice_frames_lost", 1);
    sink->take(end);
    EXPECT_EQ(end.audio, "0000.480s-DMR-slot1-2001-to-9.wav");
    EXPECT_EQ(files(),
              (std::vector<std::string>{"0000.480s-DMR-slot1-2001-to-9.json", "0000.480s-DMR-slot1-2001-to-9.wav"}));
    std::vector<int16_t> want = tone(4000, 1), second = tone(4000, 2);
    want.insert(want.end(), second.begin(), second.end());
    EXPECT_EQ(whole_wav(dir + "/" + end.audio), want);

    rapidjson::Document d = sidecar(dir + "/0000.480s-DMR-slot1-2001-to-9.json");
    EXPECT_STREQ(d["protocol"].GetString(), "DMR");
    EXPECT_EQ(d["slot"].GetInt(), 1);
    EXPECT_EQ(d["source"].GetInt(), 2001);
    ASSERT_EQ(d["sources"].Size(), 2u);
    EXPECT_EQ(d["sources"][1]["source"].GetInt(), 3100);
    EXPECT_STREQ(d["sources"][1]["alias"].GetString(), "Bob");
    EXPECT_DOUBLE_EQ(d["start"].GetDouble(), 0.48);
    EXPECT_DOUBLE_EQ(d["stop"].GetDouble(), 1.6);
    EXPECT_DOUBLE_EQ(d["duration"].GetDouble(), 0.6);
    EXPECT_STREQ(d["stop_utc"].GetString(), "2026-12-11T11:19:36.600Z");
    EXPECT_STREQ(d["audio"].GetString(), "0000.480s-DMR-slot1-2001-to-9.wav");
    EXPECT_DOUBLE_EQ(d["audio_seconds"].GetDouble(), 1.0);
    EXPECT_EQ(d["voice_frames"].GetInt(), 50);
    EXPECT_EQ(d["voice_frames_lost"].GetInt(), 1);
    EXPECT_TRUE(reports.empty());
}

// Speech of no known call is dropped; a call that carried no speech leaves
// no file; events of other kinds and pages are passed by.
TEST_F(AudioSinkTest, SpeechOutsideCallsAndCallsWithoutSpeech) {
    make();
    talk(7, 800);  // before the call's first event
    event quiet = dmr_call(7, 1, 1, 2);
    sink->take(quiet);
    event page;
    page.protocol = event_protocol::pocsag, page.kind = event_kind::page, page.call_id = 7;
    sink->take(page);
    event end = ended(quiet, 2);
    sink->take(end);
    EXPECT_EQ(end.audio, "");
    talk(7, 800);  // after its end
    talk(12345, 800);
    sink->finish(false);
    EXPECT_TRUE(files().empty());
    EXPECT_TRUE(reports.empty());
}

// Ctrl-C in the middle of two calls: both are finished as at their end,
// whole and under their names, the sidecars saying so.
TEST_F(AudioSinkTest, InterruptFinishesCallsWhole) {
    make();
    event dmr = dmr_call(1, 0.5, 2001, 9, 2), ysf = ysf_call(2, 0.75, "N0CALL", "ALL");
    sink->take(dmr);
    sink->take(ysf);
    talk(1, 3000, 1, 333);
    talk(2, 1600, 2, 100);
    sink->finish(true);
    EXPECT_EQ(files(),
              (std::vector<std::string>{"0000.500s-DMR-slot2-2001-to-9.json", "0000.500s-DMR-slot2-2001-to-9.wav",
                                        "0000.750s-YSF-N0CALL-to-ALL.json", "0000.750s-YSF-N0CALL-to-ALL.wav"}));
    EXPECT_EQ(whole_wav(dir + "/0000.500s-DMR-slot2-2001-to-9.wav"), tone(3000, 1));
    EXPECT_EQ(whole_wav(dir + "/0000.750s-YSF-N0CALL-to-ALL.wav"), tone(1600, 2));
    rapidjson::Document d = sidecar(dir + "/0000.750s-YSF-N0CALL-to-ALL.json");
    EXPECT_TRUE(d["interrupted"].GetBool());
    EXPECT_DOUBLE_EQ(d["duration"].GetDouble(), 0.2);  // its speech
    EXPECT_STREQ(d["source"].GetString(), "N0CALL");
    EXPECT_FALSE(d.HasMember("voice_frames"));
}

// A name that exists is never overwritten, whether it was there before or
// came while the call ran; symlinks planted under the names the sink will
// use are never followed.
TEST_F(AudioSinkTest, ExistingNamesAndPlantedSymlinks) {
    ASSERT_TRUE(fs::create_directories(dir));
    const std::string outside = root + "/outside";
    ASSERT_TRUE(fs::create_directories(outside));
    std::ofstream(outside + "/precious") << "precious";
    const std::string name = "0000.480s-DMR-slot1-2001-to-9";
    fs::create_symlink(outside + "/victim", dir + "/." + name + ".wav.part");
    fs::create_symlink(outside + "/precious", dir + "/" + name + "-2.wav");
    fs::create_symlink(outside + "/victim", dir + "/" + name + "-3.json");
    std::ofstream(dir + "/" + name + "-4.wav") << "keep me";
    std::ofstream(dir + "/." + name + "-5.json.part") << "left by a run that was killed";
    make();

    event e = dmr_call(1, 0.48, 2001, 9);
    sink->take(e);
    talk(1, 1000);
    // Planted while the call runs, under the name it was to get.
    fs::create_symlink(outside + "/late", dir + "/" + name + "-6.wav");
    event end = ended(e, 1);
    sink->take(end);
    EXPECT_EQ(end.audio, name + "-7.wav");
    EXPECT_EQ(whole_wav(dir + "/" + end.audio), tone(1000));
    EXPECT_STREQ(sidecar(dir + "/" + name + "-7.json")["audio"].GetString(), (name + "-7.wav").c_str());
    EXPECT_EQ(files(outside), std::vector<std::string>{"precious"});
    EXPECT_EQ(read_all(outside + "/precious"), "precious");
    EXPECT_EQ(read_all(dir + "/" + name + "-4.wav"), "keep me");
    EXPECT_EQ(read_all(dir + "/." + name + "-5.json.part"), "left by a run that was killed");
    for (const char *link : {".wav.part", "-2.wav", "-3.json", "-6.wav"})
        EXPECT_TRUE(fs::is_symlink(dir + "/" + (link[0] == '.' ? "." + name + link : name + link))) << link;

    // A second call of the same name while the first is being written.
    event a = dmr_call(2, 3, 1, 2), b = dmr_call(3, 3, 1, 2, 1);
    sink->take(a);
    sink->take(b);
    talk(2, 100);
    talk(3, 100);
    event end_b = ended(b, 4), end_a = ended(a, 4);
    sink->take(end_b);
    sink->take(end_a);
    EXPECT_EQ(end_a.audio, "0003.000s-DMR-slot1-1-to-2.wav");
    EXPECT_EQ(end_b.audio, "0003.000s-DMR-slot1-1-to-2-2.wav");
    EXPECT_TRUE(reports.empty());
}

// Call signs and aliases from the air, used in names, never lead out of
// the folder nor give a hidden, unbounded or unprintable name.
TEST_F(AudioSinkTest, HostileCallSignsStayInTheFolder) {
    audio_options o;
    o.name_template = "{source}_{alias}_{target}";
    make(o);
    const std::vector<std::string> hostile = {"../../escape",
                                              "/etc/passwd",
                                              std::string("a\0b", 3),
                                              "\"q\"'",
                                              std::string(300, 'Z'),
                                              "\xC3\x28\xFF",
                                              "..",
                                              "."};
    uint64_t id = 1;
    for (const std::string &h : hostile) {
        event e = ysf_call(id, static_cast<double>(id), h, h);
        e.alias = h;
        sink->take(e);
        talk(id, 200);
        event end = ended(e, static_cast<double>(id) + 0.5);
        sink->take(end);
        EXPECT_FALSE(end.audio.empty());
        EXPECT_LE(end.audio.size(), 200u);
        EXPECT_TRUE(fs::is_regular_file(dir + "/" + end.audio)) << end.audio;
        ++id;
    }
    EXPECT_EQ(files(root), std::vector<std::string>{"calls"});
    EXPECT_EQ(files().size(), 2 * hostile.size());
    for (const std::string &f : files()) {
        EXPECT_NE(f[0], '.') << f;
        EXPECT_LE(f.size(), 200u);
        if (f.size() > 4 && f.substr(f.size() - 4) == ".wav") whole_wav(dir + "/" + f);
    }
}

// A full disk: reported once, decoding goes on, every file left holds what
// its header says (a WAV cut short keeps its whole samples), no 0-byte or
// half-written file, and the sink writes again once there is room.
TEST_F(AudioSinkTest, FullDisk) {
    ASSERT_TRUE(fs::create_directories(dir));
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    mounted = true;
    make();
    event a = dmr_call(1, 1, 2001, 9);
    sink->take(a);
    talk(1, 12000);  // 24 kB
    event end_a = ended(a, 2);
    sink->take(end_a);
    ASSERT_EQ(end_a.audio, "0001.000s-DMR-slot1-2001-to-9.wav");
    EXPECT_TRUE(reports.empty());

    event b = dmr_call(2, 3, 2002, 9);
    sink->take(b);
    talk(2, 40000, 3, 999);  // 80 kB: more than is left
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("No space left on device"), std::string::npos) << reports[0];
    event end_b = ended(b, 8);
    sink->take(end_b);

    event c = dmr_call(3, 9, 2003, 9);  // the disk still full
    sink->take(c);
    talk(3, 8000);
    event end_c = ended(c, 10);
    sink->take(end_c);
    EXPECT_EQ(end_c.audio, "");
    EXPECT_EQ(reports.size(), 1u);

    for (const std::string &f : files()) {
        SCOPED_TRACE(f);
        EXPECT_NE(f[0], '.');  // no temporary file left
        EXPECT_GT(fs::file_size(dir + "/" + f), 0u);
        if (f.substr(f.size() - 4) == ".json") sidecar(dir + "/" + f);
    }
    EXPECT_EQ(whole_wav(dir + "/" + end_a.audio), tone(12000));
    ASSERT_FALSE(end_b.audio.empty());
    {
        // What was kept of the call is its first samples, exactly.
        std::vector<int16_t> kept = whole_wav(dir + "/" + end_b.audio), sent = tone(40000, 3);
        ASSERT_GT(kept.size(), 0u);
        ASSERT_LT(kept.size(), sent.size());
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), sent.begin()));
    }
    auto *audio = dynamic_cast<audio_sink *>(sink.get());
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->files_written(), 1);
    EXPECT_EQ(audio->files_cut(), 1);   // b
    EXPECT_EQ(audio->files_lost(), 1);  // c

    // Room again: the next call is written whole.
    fs::remove(dir + "/" + end_a.audio);
    fs::remove(dir + "/" + end_b.audio);
    event d = dmr_call(4, 11, 2004, 9);
    sink->take(d);
    talk(4, 8000);
    event end_d = ended(d, 12);
    sink->take(end_d);
    ASSERT_FALSE(end_d.audio.empty());
    EXPECT_EQ(whole_wav(dir + "/" + end_d.audio), tone(8000));
    EXPECT_EQ(reports.size(), 1u);
}

// Every format the installed libsndfile can write gives a file that reads
// back as that format; one it cannot write is refused with one line.
TEST_F(AudioSinkTest, Formats) {
    struct case_ {
        const char *name;
        int type;
    };
    int tried = 0;
    for (const case_ &c : std::vector<case_>{{"wav", SF_FORMAT_WAV},
                                             {"flac", SF_FORMAT_FLAC},
                                             {"ogg", SF_FORMAT_OGG},
                                             {"opus", SF_FORMAT_OGG},
                                             {"mp3", SF_FORMAT_MPEG}}) {
        SCOPED_TRACE(c.name);
        std::string error;
        if (!audio_format_supported(c.name, error)) {
            EXPECT_NE(std::string(c.name), "wav");
            EXPECT_NE(error.find(std::string("cannot write ") + c.name), std::string::npos) << error;
            continue;
        }
        ++tried;
        audio_options o;
        o.format = c.name;
        make(o);
        event e = dmr_call(1, tried, 2001, 9);
        sink->take(e);
        talk(1, 8000);
        event end = ended(e, tried + 1);
        sink->take(end);
        ASSERT_EQ(end.audio, "000" + std::to_string(tried) + ".000s-DMR-slot1-2001-to-9." + c.name);
        SF_INFO info{};
        SNDFILE *sf = sf_open((dir + "/" + end.audio).c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, c.type);
        EXPECT_EQ(info.samplerate, 8000);
        EXPECT_NEAR(static_cast<double>(info.frames), 8000, 800);
        sf_close(sf);
        EXPECT_STREQ(
            sidecar(dir + "/" + end.audio.substr(0, end.audio.rfind('.')) + ".json")["audio_format"].GetString(),
            c.name);
    }
    EXPECT_GE(tried, 1);
    std::string error;
    EXPECT_FALSE(audio_format_supported("aiff", error));
    EXPECT_EQ(error, "--audio-format: wav, flac, ogg, opus or mp3, not 'aiff'");
}

TEST_F(AudioSinkTest, BadOptionsAreRefused) {
    std::ofstream(root + "/file") << "x";
    struct case_ {
        std::string folder, format, name, error;
    };
    for (const case_ &c : std::vector<case_>{{root + "/file", "wav", "", "is not a folder zelvane can write to"},
                                             {root + "/no/such/parent", "wav", "", "cannot make the folder"},
                                             {dir, "wav", "{nope}", "--audio-name: no field {nope}"},
                                             {dir, "au", "", "--audio-format: "}}) {
        SCOPED_TRACE(c.error);
        audio_options o;
        o.folder = c.folder, o.format = c.format, o.name_template = c.name;
        std::string error;
        EXPECT_EQ(make_audio_sink(o, error), nullptr);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

}  // namespace
