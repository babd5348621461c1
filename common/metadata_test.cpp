// SPDX-License-Identifier: MIT
#include "metadata.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testing/process.h"

namespace {

// Everything that can be read from fd now, without waiting.
std::string read_available(int fd, size_t limit = 1 << 20) {
    std::string got;
    char buffer[4096];
    while (got.size() < limit) {
        const size_t want = limit - got.size() < sizeof buffer ? limit - got.size() : sizeof buffer;
        const ssize_t n = read(fd, buffer, want);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end + 1 - start));
    if (start < text.size()) lines.push_back(text.substr(start));  // an unfinished line
    return lines;
}

// A named pipe in a fresh folder, with a reader that never waits, its
// buffer cut to one page so that a few lines fill it, and the metadata fifo
// opened on it.
struct stalled_fifo {
    std::string dir = make_temp_dir();
    std::string path = dir + "/meta";
    int reader = -1;
    metadata_fifo fifo;
    stalled_fifo() {
        std::signal(SIGPIPE, SIG_IGN);
        mkfifo(path.c_str(), 0600);
        reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        fcntl(reader, F_SETPIPE_SZ, 4096);
        FILE *err = std::fopen("/dev/null", "w");
        open_metadata_fifo(fifo, path.c_str(), err);
        std::fclose(err);
    }
    ~stalled_fifo() {
        if (fifo.stream) std::fclose(fifo.stream);
        if (reader >= 0) close(reader);
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
};

slot_record call_record(int32_t source) {
    slot_record r;
    r.sync = slot_sync_voice;
    r.type = slot_type_group;
    r.source = source;
    r.target = 9;
    return r;
}

std::string slot_line(const slot_record &r, uint8_t slot) {
    char line[256];
    int n = compose_slot_line(line, r, slot);
    return std::string(line, static_cast<size_t>(n));
}

std::string ysf_line(const ysf_record &r) {
    char line[256];
    int n = compose_ysf_line(line, r);
    return std::string(line, static_cast<size_t>(n));
}

}  // namespace

TEST(SlotMetadata, FieldsPresentOnlyWhenKnown) {
    slot_record r;
    r.sync = slot_sync_data;
    r.type = slot_type_direct;
    r.source = 77;
    reset_slot_record(r);
    EXPECT_EQ(slot_line(r, 0), "protocol:DMR;slot:0;\n");

    r.sync = slot_sync_voice;
    r.type = slot_type_group;
    r.source = 123;
    r.target = 9;
    EXPECT_EQ(slot_line(r, 1), "protocol:DMR;slot:1;sync:voice;type:group;source:123;target:9;\n");
    r.source = 0;
    EXPECT_EQ(slot_line(r, 1), "protocol:DMR;slot:1;sync:voice;type:group;target:9;\n");
    r.type = "";
    r.source = -5;
    r.target = 0;
    EXPECT_EQ(slot_line(r, 0), "protocol:DMR;slot:0;sync:voice;source:-5;\n");
    r.sync = "";
    r.type = slot_type_direct;
    r.source = 2147483647;
    r.target = -2147483647 - 1;
    EXPECT_EQ(slot_line(r, 1), "protocol:DMR;slot:1;type:direct;source:2147483647;target:-2147483648;\n");
}

TEST(SlotMetadata, AliasAndPositionCloseTheLineEscaped) {
    slot_record r;
    r.sync = slot_sync_voice;
    r.type = slot_type_group;
    r.source = 2001;
    r.target = 9;
    std::strcpy(r.alias, "DL1ABC J\xC3\xBCrgen;\r\n\x1B");
    EXPECT_EQ(slot_line(r, 1),
              "protocol:DMR;slot:1;sync:voice;type:group;source:2001;target:9;"
              "alias:DL1ABC J\xC3\xBCrgen\\x3B\\x0D\\x0A\\x1B;\n");
    r.has_position = true;
    r.latitude = -89.99998927116394;
    r.longitude = 179.99998927116394;
    EXPECT_EQ(slot_line(r, 1),
              "protocol:DMR;slot:1;sync:voice;type:group;source:2001;target:9;"
              "alias:DL1ABC J\xC3\xBCrgen\\x3B\\x0D\\x0A\\x1B;lat:-89.999989;lon:179.999989;\n");
    r.alias[0] = 0;
    EXPECT_EQ(slot_line(r, 0),
              "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;lat:-89.999989;lon:179.999989;\n");
    // The longest alias a radio sends, 31 7-bit ';', with every other field
    // at its widest, fits whole; an even longer one is cut at a whole escape
    // and the line still ends with the position and its newline.
    r.type = slot_type_direct;
    r.source = r.target = -2147483647 - 1;
    r.latitude = r.longitude = -180.0;
    std::memset(r.alias, ';', 31);
    std::string escaped;
    for (int i = 0; i < 31; ++i) escaped += "\\x3B";
    EXPECT_NE(slot_line(r, 1).find(";alias:" + escaped + ";lat:-180.000000;lon:-180.000000;\n"), std::string::npos);
    std::memset(r.alias, ';', slot_alias_size - 1);
    std::string line = slot_line(r, 1);
    EXPECT_LT(line.size(), 256u);
    EXPECT_NE(line.find("\\x3B;lat:-180.000000;lon:-180.000000;\n"), std::string::npos);
    reset_slot_record(r);
    EXPECT_EQ(slot_line(r, 0), "protocol:DMR;slot:0;\n");
}

TEST(SlotMetadata, PrivacyAndServiceOptionsGoLastAndKeepTheLineWhole) {
    slot_record r;
    r.sync = slot_sync_voice;
    r.type = slot_type_group;
    r.source = 2001;
    r.target = 9;
    r.encrypted = true;
    EXPECT_EQ(slot_line(r, 0), "protocol:DMR;slot:0;sync:voice;type:group;source:2001;target:9;encrypted:1;\n");
    r.has_pi_header = true;
    r.algorithm = 33;
    r.key_id = 5;
    r.emergency = true;
    r.broadcast = true;
    r.open_voice_call_mode = true;
    r.priority = 3;
    r.has_position = true;
    r.latitude = 1.5;
    r.longitude = -2.25;
    EXPECT_EQ(slot_line(r, 1),
              "protocol:DMR;slot:1;sync:voice;type:group;source:2001;target:9;lat:1.500000;lon:-2.250000;"
              "encrypted:1;algorithm:33;key_id:5;emergency:1;broadcast:1;ovcm:1;priority:3;\n");
    // The longest alias of escaped bytes leaves room for every field after it.
    std::memset(r.alias, ';', sizeof r.alias - 1);
    r.source = -2147483647 - 1;
    r.target = -2147483647 - 1;
    r.algorithm = r.key_id = 255;
    const std::string line = slot_line(r, 1);
    EXPECT_LT(line.size(), 256u);
    EXPECT_NE(line.find(";lat:1.500000;lon:-2.250000;encrypted:1;algorithm:255;key_id:255;emergency:1;broadcast:1;"
                        "ovcm:1;priority:3;\n"),
              std::string::npos)
        << line;
    clear_call_options(r);
    EXPECT_EQ(slot_line(r, 1).find("encrypted"), std::string::npos);
}

TEST(YsfMetadata, FieldOrderAndTextRules) {
    ysf_record r;
    EXPECT_EQ(ysf_line(r), "protocol:YSF;\n");

    std::memcpy(r.mode, "V1", 2);
    r.has_position = true;
    r.latitude = 0.5f;
    r.longitude = -1.25f;
    EXPECT_EQ(ysf_line(r), "protocol:YSF;mode:V1;lat:0.500000;lon:-1.250000;\n");

    // Ten non-zero bytes print whole, trailing spaces included; a first byte
    // 0 leaves the field out even with later bytes set; a zero byte ends a
    // text early.
    std::memcpy(r.source, "DL1ABC    ", 10);
    std::memcpy(r.target, "ALL       ", 10);
    std::memcpy(r.up, "AB\0CDEFGHI", 10);
    std::memcpy(r.down, "\0XYZ", 4);
    r.radio = "FT-70D";
    EXPECT_EQ(ysf_line(r),
              "protocol:YSF;mode:V1;source:DL1ABC    ;target:ALL       ;up:AB;"
              "lat:0.500000;lon:-1.250000;radio:FT-70D;\n");

    reset_ysf_record(r);
    EXPECT_EQ(ysf_line(r), "protocol:YSF;\n");
}

TEST(YsfMetadata, LongestLineFits) {
    ysf_record r;
    std::memcpy(r.mode, "VW", 2);
    std::memset(r.source, 'S', 10);
    std::memset(r.target, 'T', 10);
    std::memset(r.up, 'U', 10);
    std::memset(r.down, 'D', 10);
    r.has_position = true;
    r.latitude = -3.4e38f;
    r.longitude = 3.4e38f;
    r.radio = "FT-70D";
    std::string line = ysf_line(r);
    EXPECT_LE(line.size(), 255u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_NE(line.find("radio:FT-70D;"), std::string::npos);
}

TEST(MetadataFifo, NoFifoWritesNothing) {
    metadata_fifo none;
    slot_record s;
    ysf_record y;
    send_slot_metadata(none, s, 0);
    send_ysf_metadata(none, y);
    SUCCEED();
}

TEST(MetadataFifo, SecondFileReplacesFirst) {
    std::string dir = make_temp_dir();
    std::string first = dir + "/a", second = dir + "/b";
    char *err_text = nullptr;
    size_t err_size = 0;
    FILE *err = open_memstream(&err_text, &err_size);
    metadata_fifo fifo;
    open_metadata_fifo(fifo, first.c_str(), err);
    FILE *first_stream = fifo.stream;
    open_metadata_fifo(fifo, second.c_str(), err);
    std::fclose(err);
    EXPECT_EQ(std::string(err_text, err_size), "meta fifo: " + first + "\nmeta fifo: " + second + "\n");
    std::free(err_text);
    slot_record s;
    send_slot_metadata(fifo, s, 1);
    EXPECT_EQ(read_file(first), "");
    EXPECT_EQ(read_file(second), "protocol:DMR;slot:1;\n");
    std::fclose(first_stream);
}

TEST(MetadataFifo, FailedOpenSaysSoAndRunsWithoutMetadata) {
    const std::string dir = make_temp_dir();
    for (const std::string &path : {std::string("/nonexistent-dir/meta"), dir, std::string()}) {
        char *err_text = nullptr;
        size_t err_size = 0;
        FILE *err = open_memstream(&err_text, &err_size);
        metadata_fifo fifo;
        open_metadata_fifo(fifo, path.c_str(), err);
        std::fclose(err);
        EXPECT_EQ(std::string(err_text, err_size),
                  "meta fifo: " + path + "\ncannot open metadata fifo " + path + "; going on without metadata\n");
        std::free(err_text);
        EXPECT_EQ(fifo.stream, nullptr) << path;
        ysf_record y;
        send_ysf_metadata(fifo, y);
        send_pending_metadata(fifo);
    }
    rmdir(dir.c_str());
}

// A reader on a real named pipe receives each line whole as it is sent.
TEST(MetadataFifo, LinesReachNamedPipeReader) {
    std::string dir = make_temp_dir();
    std::string path = dir + "/meta";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        int fd = open(path.c_str(), O_RDONLY);
        char buffer[512];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
        close(fd);
    });
    FILE *err = std::fopen("/dev/null", "w");
    metadata_fifo fifo;
    open_metadata_fifo(fifo, path.c_str(), err);  // waits for the reader
    std::fclose(err);
    ASSERT_NE(fifo.stream, nullptr);
    slot_record s;
    s.sync = slot_sync_voice;
    send_slot_metadata(fifo, s, 0);
    ysf_record y;
    std::memcpy(y.mode, "DN", 2);
    send_ysf_metadata(fifo, y);
    std::fclose(fifo.stream);
    reader.join();
    EXPECT_EQ(received, "protocol:DMR;slot:0;sync:voice;\nprotocol:YSF;mode:DN;\n");
    unlink(path.c_str());
}

TEST(YsfMetadata, CallSignBytesThatWouldSplitTheLineAreEscaped) {
    ysf_record r;
    std::memcpy(r.source, "AB;CD\nEF\x1bG", 10);
    std::memcpy(r.target, "ALL\r      ", 10);
    EXPECT_EQ(ysf_line(r), "protocol:YSF;source:AB\\x3BCD\\x0AEF\\x1BG;target:ALL\\x0D      ;\n");
}

// A reader that stalls never blocks the writer; what it reads are whole
// lines, and once it reads again it gets the newest line of each slot and of
// the System Fusion transmission, oldest first.
TEST(MetadataFifo, StalledReaderKeepsTheNewestLinePerOwner) {
    stalled_fifo f;
    ASSERT_GE(f.reader, 0);
    ASSERT_NE(f.fifo.stream, nullptr);
    alarm(30);  // a blocking write would hang here
    ysf_record y;
    std::memcpy(y.mode, "DN", 2);
    for (int32_t n = 1; n <= 300; ++n) {
        send_slot_metadata(f.fifo, call_record(n), static_cast<uint8_t>(n % 2));
        if (n == 150) send_ysf_metadata(f.fifo, y);
    }
    alarm(0);
    const std::string first = read_available(f.reader);
    EXPECT_LE(first.size(), 4096u);
    for (const std::string &line : lines_of(first)) EXPECT_EQ(line.back(), '\n') << line;
    EXPECT_EQ(read_available(f.reader), "");

    send_pending_metadata(f.fifo);
    EXPECT_EQ(read_available(f.reader),
              "protocol:YSF;mode:DN;\n" + slot_line(call_record(299), 1) + slot_line(call_record(300), 0));
    send_pending_metadata(f.fifo);
    EXPECT_EQ(read_available(f.reader), "");
}

// A reader that went away (EPIPE) and a new one that opens the fifo later:
// the newcomer gets the current state at the next block.
TEST(MetadataFifo, ReaderThatComesBackGetsTheCurrentState) {
    stalled_fifo f;
    ASSERT_NE(f.fifo.stream, nullptr);
    close(f.reader);
    send_slot_metadata(f.fifo, call_record(1), 0);
    send_slot_metadata(f.fifo, call_record(2), 0);
    f.reader = open(f.path.c_str(), O_RDONLY | O_NONBLOCK);
    send_pending_metadata(f.fifo);
    EXPECT_EQ(read_available(f.reader), slot_line(call_record(2), 0));
}

// A terminal takes what fits of a write, so lines go out in part; every
// line still arrives whole, never mixed with another.
TEST(MetadataFifo, LineTakenInPartIsCompletedFirst) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(terminal, 0);
    termios raw{};
    tcgetattr(terminal, &raw);
    cfmakeraw(&raw);
    tcsetattr(terminal, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    metadata_fifo fifo;
    fifo.stream = fdopen(terminal, "w");
    ASSERT_NE(fifo.stream, nullptr);
    std::map<std::string, bool> sent;
    std::string received;
    ysf_record y;
    std::memcpy(y.source, "DL1ABC    ", 10);
    for (int32_t n = 1; n <= 4000; ++n) {
        const slot_record r = call_record(n * 7919);
        send_slot_metadata(fifo, r, static_cast<uint8_t>(n % 2));
        sent[slot_line(r, static_cast<uint8_t>(n % 2))] = true;
        if (n % 5 == 0) send_ysf_metadata(fifo, y);
        if (n % 50 == 0) received += read_available(master, 37);  // odd amounts leave odd room
    }
    sent[ysf_line(y)] = true;
    // The terminal hands bytes on to its other side a moment later.
    const auto backlog_empty = [&] {
        const metadata_backlog &b = fifo.backlog;
        return b.partial_length == 0 && b.pending_length[0] == 0 && b.pending_length[1] == 0 &&
               b.pending_length[2] == 0;
    };
    const std::string last = ysf_line(y);
    for (int k = 0; k < 5000; ++k) {
        send_pending_metadata(fifo);
        received += read_available(master);
        if (backlog_empty() && received.size() >= last.size() &&
            received.compare(received.size() - last.size(), last.size(), last) == 0)
            break;
        usleep(1000);
    }
    const std::vector<std::string> lines = lines_of(received);
    ASSERT_GT(lines.size(), 10u);
    for (const std::string &line : lines) EXPECT_TRUE(sent.count(line)) << line;
    EXPECT_EQ(lines.back(), ysf_line(y));
    EXPECT_EQ(lines[lines.size() - 2], slot_line(call_record(4000 * 7919), 0));
    std::fclose(fifo.stream);
    close(master);
}
