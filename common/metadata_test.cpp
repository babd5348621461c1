#include "metadata.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "testing/process.h"

namespace {

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

TEST(MetadataFifo, FailedOpenRunsWithoutMetadata) {
    char *err_text = nullptr;
    size_t err_size = 0;
    FILE *err = open_memstream(&err_text, &err_size);
    metadata_fifo fifo;
    open_metadata_fifo(fifo, "/nonexistent-dir/meta", err);
    std::fclose(err);
    EXPECT_EQ(std::string(err_text, err_size), "meta fifo: /nonexistent-dir/meta\n");
    std::free(err_text);
    EXPECT_EQ(fifo.stream, nullptr);
    ysf_record y;
    send_ysf_metadata(fifo, y);
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
