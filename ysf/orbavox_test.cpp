// SPDX-License-Identifier: MIT
// The decoder in-process: whole transmissions built by the encoder library,
// fed through orbavox_process_block with every output bound to memory.

#include "orbavox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "voice_channel.h"
#include "ysf_encode.h"

namespace {

using ysf_encode::build_communication_frame;
using ysf_encode::build_header_frame;
using ysf_encode::build_radio_data_block;
using ysf_encode::build_transmission;
using ysf_encode::call_sign;
using ysf_encode::call_signs;
using ysf_encode::fich_fields;
using ysf_encode::frame_symbols;
using ysf_encode::radio_kind_a;
using ysf_encode::radio_kind_gc;
using ysf_encode::radio_kind_position;
using ysf_encode::test_voice_frame;
using ysf_encode::transmission;
using ysf_encode::transmission_plan;

using symbols = std::vector<uint8_t>;

struct memory_stream {
    char *text = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&text, &size);
    ~memory_stream() {
        std::fclose(stream);
        std::free(text);
    }
    std::string contents() {
        std::fflush(stream);
        return std::string(text, size);
    }
};

// A fresh decoder with its output, diagnostics and metadata in memory.
struct decoder {
    std::unique_ptr<orbavox_state> state = std::make_unique<orbavox_state>();
    memory_stream out, err, meta;
    orbavox_streams io;
    decoder() {
        io.out = out.stream;
        io.err = err.stream;
        io.fifo.stream = meta.stream;
    }
    // Feeds the symbols in blocks of chunk bytes, as reads of the stream do,
    // then ends the input as the program does.
    decoder &feed(const symbols &s, size_t chunk = 128) {
        for (size_t i = 0; i < s.size(); i += chunk)
            orbavox_process_block(*state, s.data() + i, std::min(chunk, s.size() - i), io);
        orbavox_finish(*state, io);
        return *this;
    }
};

std::string text(const symbols &bytes) { return std::string(bytes.begin(), bytes.end()); }

void append(symbols &to, const symbols &more) { to.insert(to.end(), more.begin(), more.end()); }

call_signs test_calls() {
    call_signs calls;
    calls.target = call_sign("ALL");
    calls.source = call_sign("DL1ABC");
    calls.down = call_sign("DB0XYZ");
    calls.up = call_sign("DM0UP");
    return calls;
}

transmission build(const transmission_plan &plan) {
    transmission t;
    EXPECT_TRUE(build_transmission(plan, t));
    return t;
}

fich_fields communication(uint8_t dt, uint8_t fn) {
    fich_fields f;
    f.fi = fich_fi_communication;
    f.dt = dt;
    f.fn = fn;
    f.ft = 7;
    return f;
}

// One V/D mode 2 frame with the given frame number and data channel bytes
// and the test voice frame `index` in every block.
symbols mode2_frame(uint8_t fn, const uint8_t data[10], int index = 0) {
    uint8_t voice[5 * 7];
    for (int b = 0; b < 5; ++b) test_voice_frame(fich_dt_vd_mode2, index + b, voice + 7 * b);
    symbols frame(frame_symbols);
    build_communication_frame(communication(fich_dt_vd_mode2, fn), voice, 0, data, frame.data());
    return frame;
}

symbols frame_of(const fich_fields &fich) {
    symbols frame(frame_symbols);
    build_communication_frame(fich, nullptr, 0, nullptr, frame.data());
    return frame;
}

const std::string calls_fields = "source:DL1ABC    ;target:ALL       ;up:DM0UP     ;down:DB0XYZ    ;";
const std::string header_lines =
    "protocol:YSF;source:DL1ABC    ;target:ALL       ;\n"
    "protocol:YSF;" +
    calls_fields + "\n";

std::string repeat(const std::string &s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

// The symbol after the last frame lets the decoder handle that frame.
symbols with_trailer(symbols s) {
    s.push_back(0);
    return s;
}

TEST(Orbavox, VdMode1Transmission) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode1;
    plan.calls = test_calls();
    plan.communication_frames = 3;
    transmission t = build(plan);
    decoder d;
    d.feed(with_trailer(t.symbols));
    EXPECT_EQ(d.out.contents(), text(t.voice_records));
    EXPECT_EQ(d.out.contents().size(), 3u * 5 * 13);
    EXPECT_EQ(d.err.contents(), "");
    EXPECT_EQ(d.meta.contents(),
              header_lines + repeat("protocol:YSF;mode:V1;" + calls_fields + "\n", 3) + "protocol:YSF;\n");
}

// Call signs one per frame from the data channel, then the radio data block
// of frames 6 and 7 evaluated at frame 0 of the next cycle.
TEST(Orbavox, VdMode2TransmissionWithPosition) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode2;
    plan.calls = test_calls();
    plan.has_position = true;
    plan.latitude = 51.502;
    plan.longitude = -0.125;
    plan.communication_frames = 10;
    transmission t = build(plan);
    decoder d;
    d.feed(with_trailer(t.symbols));
    EXPECT_EQ(d.out.contents(), text(t.voice_records));
    EXPECT_EQ(d.out.contents().size(), 10u * 5 * 8);
    EXPECT_EQ(d.err.contents(), "");

    const std::string dn = "protocol:YSF;mode:DN;" + calls_fields + "\n";
    const std::string with_radio =
        "protocol:YSF;mode:DN;" + calls_fields + "lat:51.501999;lon:-0.125000;radio:FT-70D;\n";
    std::string expected = header_lines;
    expected += repeat(dn + dn, 4);       // frames 0..3: mode line, then the call sign's line
    expected += repeat(dn, 4);            // frames 4..7: mode line only
    expected += dn + with_radio;          // frame 0: one line for call sign and block
    expected += with_radio + with_radio;  // frame 1
    expected += "protocol:YSF;\n";
    EXPECT_EQ(d.meta.contents(), expected);
}

// The first voice full-rate frame after a header carries voice in blocks 3
// and 4 only.
TEST(Orbavox, VoiceFullRateTransmission) {
    transmission_plan plan;
    plan.data_type = fich_dt_voice_full_rate;
    plan.calls = test_calls();
    plan.communication_frames = 3;
    transmission t = build(plan);
    decoder d;
    d.feed(with_trailer(t.symbols));
    EXPECT_EQ(d.out.contents(), text(t.voice_records));
    EXPECT_EQ(d.out.contents().size(), (2u + 5 + 5) * 19);
    EXPECT_EQ(d.err.contents(), "");
    EXPECT_EQ(d.meta.contents(),
              header_lines + repeat("protocol:YSF;mode:VW;" + calls_fields + "\n", 3) + "protocol:YSF;\n");
}

// All-zero voice channels, in a frame that is then followed without a sync
// or FICH of its own: the fixed vectors of each mode.
TEST(Orbavox, AllZeroVoiceChannels) {
    struct zero_case {
        uint8_t dt;
        std::string record;
        const char *errors;
    } cases[] = {
        {fich_dt_vd_mode1, std::string(13, '\0'), "CRC failure\n"},
        {fich_dt_vd_mode2, std::string("\x02\x3C\x2B\xD7\x7E\x0F\x7C\x00", 8), "CRC failure\nDCH CRC failure\n"},
        {fich_dt_voice_full_rate,
         std::string("\x03\x00\x00\x00\x85\x98\x8E\x25\xB2\xB5\x69\xFA\xA1\xD0\xEB\xF9\x31\x43\x80", 19),
         "CRC failure\n"},
    };
    for (const zero_case &c : cases) {
        symbols s = frame_of(communication(c.dt, 4));
        append(s, symbols(frame_symbols, 0));
        decoder d;
        d.feed(with_trailer(s));
        std::string out = d.out.contents();
        ASSERT_EQ(out.size(), 10 * c.record.size()) << int(c.dt);
        EXPECT_EQ(out.substr(5 * c.record.size()), repeat(c.record, 5)) << int(c.dt);
        EXPECT_EQ(d.err.contents(), c.errors) << int(c.dt);
    }
}

// V/D mode 1 voice channels of all symbols 3 set every coded bit.
TEST(Orbavox, VdMode1AllOnes) {
    symbols s = frame_of(communication(fich_dt_vd_mode1, 0));
    for (int k = 0; k < 5; ++k) std::fill(s.begin() + 156 + 72 * k, s.begin() + 192 + 72 * k, 3);
    decoder d;
    d.feed(with_trailer(s));
    EXPECT_EQ(d.out.contents(), repeat(std::string("\x00\xFF\xFF\xFF\xFF\xFF\xFE\xFF\xE0\x00\xFF\xFC\x00", 13), 5));
}

// The vote over three copies hides one wrong bit among the first 81
// descrambled bits; bits 81..102 are taken as they come, bit 103 unused.
TEST(Orbavox, VdMode2MajorityVote) {
    uint8_t codec[7];
    test_voice_frame(fich_dt_vd_mode2, 3, codec);
    uint8_t channel[52];
    ysf_encode::encode_vd2_voice(codec, channel);
    struct vote_case {
        int bit;  // descrambled bit hit
        bool changes;
    } cases[] = {{0, false}, {1, false}, {41, false}, {80, false}, {81, true}, {95, true}, {102, true}, {103, false}};
    for (const vote_case &c : cases) {
        symbols frame(frame_symbols, 0);
        std::copy(channel, channel + 52, frame.begin() + 120 + 72 * 2 + 20);
        int received = 4 * (c.bit % 26) + c.bit / 26;
        frame[static_cast<size_t>(120 + 72 * 2 + 20 + received / 2)] ^= static_cast<uint8_t>(received % 2 ? 1 : 2);
        ysf_ring ring;
        ring_append(ring, frame.data(), frame_symbols);
        uint8_t out[7];
        extract_vd_mode2_frame(ring, 2, out);
        EXPECT_EQ(std::memcmp(out, codec, 7) != 0, c.changes) << c.bit;
    }
}

// The full-rate deinterleave, checked against its listing: the first and
// last of its six lines, and every received bit used once.
TEST(Orbavox, FullRateDeinterleaveTable) {
    const uint8_t first[24] = {0,  7,  12, 19, 24, 31,  36,  43,  48,  55,  60,  67,
                               72, 79, 84, 91, 96, 103, 108, 115, 120, 127, 132, 139};
    const uint8_t last[24] = {5,  10, 17, 22, 29,  34,  41,  46,  53,  58,  65,  70,
                              77, 82, 89, 94, 101, 106, 113, 118, 125, 130, 137, 142};
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(full_rate_deinterleave[static_cast<size_t>(i)], first[i]) << i;
        EXPECT_EQ(full_rate_deinterleave[static_cast<size_t>(120 + i)], last[i]) << i;
    }
    bool used[144] = {};
    for (uint8_t v : full_rate_deinterleave) used[v] = true;
    for (bool u : used) EXPECT_TRUE(u);
}

// Eleven frames with neither sync nor FICH are followed; the twelfth loses
// sync, and the search then starts again at that frame.
TEST(Orbavox, TwelveMissesLoseSync) {
    symbols s = frame_of(communication(fich_dt_vd_mode1, 0));  // frame at ring 0
    append(s, symbols(11 * frame_symbols, 0));                 // followed, voice still written
    append(s, frame_of(communication(fich_dt_vd_mode1, 1)));   // resets the miss count
    append(s, symbols(12 * frame_symbols, 0));                 // the twelfth of these loses sync
    size_t lost_at = s.size() - frame_symbols;
    append(s, frame_of(communication(fich_dt_vd_mode1, 2)));  // found again by the search
    decoder d;
    d.feed(with_trailer(s));

    const std::string miss = "CRC failure\n";
    char lost[64];
    std::snprintf(lost, sizeof lost, "lost sync at %i\n", static_cast<int>(lost_at % 2048));
    EXPECT_EQ(d.err.contents(), repeat(miss, 11) + repeat(miss, 11) + lost);
    // Voice from every followed frame: 1 + 11 + 1 + 11 good and missed, then
    // the frame after the search.
    EXPECT_EQ(d.out.contents().size(), (1u + 11 + 1 + 11 + 1) * 5 * 13);
    const std::string v1 = "protocol:YSF;mode:V1;\n";
    EXPECT_EQ(d.meta.contents(), repeat(v1, 24) + "protocol:YSF;\n" + v1);
    EXPECT_TRUE(d.state->synced);
}

// A sync pattern with three symbols changed from 3 to 1 is found, with four
// it is not (the next frame's sync is found instead); while following, a bad
// sync is outweighed by a good FICH.
TEST(Orbavox, SyncDistance) {
    const int changed_at[4] = {0, 5, 8, 15};  // sync symbols that are 3
    for (int changes : {3, 4}) {
        symbols s = frame_of(communication(fich_dt_vd_mode1, 0));
        for (int i = 0; i < changes; ++i) s[static_cast<size_t>(changed_at[i])] = 1;
        append(s, frame_of(communication(fich_dt_vd_mode1, 1)));
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_EQ(d.out.contents().size(), (changes == 3 ? 2u : 1u) * 5 * 13) << changes;
    }

    symbols s;
    for (int f = 0; f < 20; ++f) {
        symbols frame = frame_of(communication(fich_dt_vd_mode1, static_cast<uint8_t>(f % 8)));
        if (f > 0) std::fill(frame.begin(), frame.begin() + 20, 0);
        append(s, frame);
    }
    decoder d;
    d.feed(with_trailer(s));
    EXPECT_EQ(d.err.contents(), "");
    EXPECT_EQ(d.out.contents().size(), 20u * 5 * 13);
}

// A damaged FICH is handled as the previous one; its mode 2 data channel
// has no frame number and is dropped. Right after a frame start there is no
// previous FICH and nothing is handled.
TEST(Orbavox, FichFailureUsesThePreviousFich) {
    const uint8_t target[10] = {'N', '0', 'C', 'A', 'L', 'L', ' ', ' ', ' ', ' '};
    symbols good = mode2_frame(1, target, 0);
    symbols damaged = mode2_frame(0, target, 5);
    std::fill(damaged.begin() + 20, damaged.begin() + 120, 0);

    symbols s = good;
    append(s, damaged);
    decoder d;
    d.feed(with_trailer(s));
    EXPECT_EQ(d.err.contents(), "CRC failure\n");
    symbols expected;
    for (int i = 0; i < 10; ++i) {
        uint8_t frame[7];
        test_voice_frame(fich_dt_vd_mode2, i, frame);
        expected.push_back(2);
        expected.insert(expected.end(), frame, frame + 7);
    }
    EXPECT_EQ(d.out.contents(), text(expected));
    const std::string source_line = "protocol:YSF;mode:DN;source:N0CALL    ;\n";
    EXPECT_EQ(d.meta.contents(), "protocol:YSF;mode:DN;\n" + source_line + source_line);

    decoder first;
    symbols only_damaged = damaged;
    append(only_damaged, good);
    first.feed(with_trailer(only_damaged));
    EXPECT_EQ(first.err.contents(), "CRC failure\n");
    EXPECT_EQ(first.out.contents().size(), 5u * 8);  // the good frame only
}

TEST(Orbavox, HeaderWithOneFailedChannel) {
    fich_fields header;
    header.fi = fich_fi_header;
    header.dt = fich_dt_vd_mode2;
    symbols frame(frame_symbols);
    build_header_frame(header, test_calls(), frame.data());
    for (int b = 0; b < 5; ++b) frame[static_cast<size_t>(120 + 72 * b + 7)] ^= 3;  // channel 1 hit
    for (int b = 0; b < 5; ++b) frame[static_cast<size_t>(120 + 72 * b + 8)] ^= 3;
    for (int b = 0; b < 5; ++b) frame[static_cast<size_t>(120 + 72 * b + 9)] ^= 3;
    decoder d;
    d.feed(with_trailer(frame));
    EXPECT_EQ(d.err.contents(), "header frame DCH1 CRC failure\n");
    EXPECT_EQ(d.meta.contents(), "protocol:YSF;up:DM0UP     ;down:DB0XYZ    ;\n");
    EXPECT_EQ(d.out.contents(), "");
}

// Frames of V/D mode 2 carrying chosen data channel bytes, and the line
// each frame's data channel sends, if any ("" for none).
struct data_frame {
    uint8_t fn;
    std::vector<uint8_t> data;
    std::string line;
    std::string silent = "";  // the record's line after a change that sent none
};

std::vector<uint8_t> half(const std::vector<uint8_t> &block, int which) {
    return std::vector<uint8_t>(block.begin() + 10 * which, block.begin() + 10 * which + 10);
}

std::vector<uint8_t> radio_block(const uint8_t kind[3], uint8_t model, const uint8_t *position) {
    uint8_t block[20];
    build_radio_data_block(kind, model, position, block);
    return std::vector<uint8_t>(block, block + 20);
}

const uint8_t london[9] = {0x35, 0x31, 0x33, 0x50, 0x51, 0x52, 0x76, 0x5F, 0x4E};
const std::vector<uint8_t> nothing(10, 0);

// Frames 6 and 7 with the block, then a frame (4 or 5: no call sign) that
// evaluates it and sends `line`.
std::vector<data_frame> block_frames(const std::vector<uint8_t> &block, uint8_t next_fn, const std::string &line) {
    return {{6, half(block, 0), ""}, {7, half(block, 1), ""}, {next_fn, nothing, line}};
}

std::vector<data_frame> joined(std::vector<data_frame> a, const std::vector<data_frame> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct block_case {
    const char *name;
    std::vector<data_frame> frames;
    const char *errors;
};

std::vector<block_case> block_cases() {
    std::vector<uint8_t> unknown = radio_block(radio_kind_a, 0x2A, nullptr);
    std::vector<uint8_t> gc = radio_block(radio_kind_gc, 0x24, nullptr);
    std::vector<uint8_t> with_position = radio_block(radio_kind_position, 0x2B, london);
    std::vector<uint8_t> bad_terminator = with_position;
    bad_terminator[18] = 0x02;
    std::vector<uint8_t> bad_checksum = with_position;
    bad_checksum[19] ^= 1;
    std::vector<uint8_t> bad_position = with_position;
    bad_position[5 + 7] = 98;  // longitude minutes byte beyond 0..59
    bad_position[19] = static_cast<uint8_t>(bad_position[19] + 98 - 0x5F);
    std::vector<uint8_t> other_kind = radio_block(radio_kind_gc, 0x2B, nullptr);
    other_kind[2] = 0x64;
    other_kind[19] = static_cast<uint8_t>(other_kind[19] + 0x64 - 0x63);

    const std::string position_line = "protocol:YSF;mode:DN;lat:51.501999;lon:-0.125000;radio:FT-70D;\n";
    const std::string unknown_line = "protocol:YSF;mode:DN;radio:Unknown radio;\n";
    return {
        {"no position, unknown radio", block_frames(unknown, 4, unknown_line), ""},
        {"kind Gc_", block_frames(gc, 4, "protocol:YSF;mode:DN;radio:FT-1D;\n"), ""},
        {"position", block_frames(with_position, 5, position_line), ""},
        {"position replaced by a kind without one",
         joined(block_frames(with_position, 4, position_line),
                block_frames(gc, 4, "protocol:YSF;mode:DN;radio:FT-1D;\n")),
         ""},
        {"bad terminator", block_frames(bad_terminator, 4, ""), "invalid terminator\n"},
        {"bad checksum", block_frames(bad_checksum, 4, ""), "checksum error\n"},
        {"unknown kind sets the radio only",
         joined({{6, half(other_kind, 0), ""},
                 {7, half(other_kind, 1), ""},
                 {4, nothing, "", "protocol:YSF;mode:DN;radio:FT-70D;\n"}},
                {{0, std::vector<uint8_t>(10, 'T'), "protocol:YSF;mode:DN;target:TTTTTTTTTT;radio:FT-70D;\n"}}),
         ""},
        {"position fails",
         {{6, half(bad_position, 0), ""},
          {7, half(bad_position, 1), ""},
          {4, nothing, "", "protocol:YSF;mode:DN;radio:FT-70D;\n"}},
         "gps decoding failed :(\n"},
        // A failed position after a good one drops it, and that sends a line.
        {"position replaced by a failed one",
         joined(block_frames(with_position, 4, position_line),
                block_frames(bad_position, 5, "protocol:YSF;mode:DN;radio:FT-70D;\n")),
         "gps decoding failed :(\n"},
        // Frame 7 without frame 6 completes nothing; the next 6 starts over.
        {"frame 7 without 6",
         joined({{7, half(unknown, 1), ""}, {4, nothing, ""}}, block_frames(unknown, 5, unknown_line)), ""},
        // A frame 6 while a complete block waits discards the block.
        {"frame 6 while complete",
         {{6, half(unknown, 0), ""},
          {7, half(unknown, 1), ""},
          {6, half(unknown, 0), ""},
          {7, half(unknown, 1), ""},
          {4, nothing, ""}},
         ""},
        // Frames 0..3 set the call signs (as received: a zero byte ends the
        // text), one line each; at frame 0 the block's line is the only one.
        {"call signs",
         {{6, half(unknown, 0), ""},
          {7, half(unknown, 1), ""},
          {0, std::vector<uint8_t>(10, 'T'), "protocol:YSF;mode:DN;target:TTTTTTTTTT;radio:Unknown radio;\n"},
          {1, std::vector<uint8_t>(10, 'S'),
           "protocol:YSF;mode:DN;source:SSSSSSSSSS;target:TTTTTTTTTT;radio:Unknown radio;\n"},
          {2,
           {'D', 0, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'},
           "protocol:YSF;mode:DN;source:SSSSSSSSSS;target:TTTTTTTTTT;down:D;radio:Unknown radio;\n"},
          {3,
           {0, 'U', 'U', 'U', 'U', 'U', 'U', 'U', 'U', 'U'},
           "protocol:YSF;mode:DN;source:SSSSSSSSSS;target:TTTTTTTTTT;down:D;radio:Unknown radio;\n"}},
         ""},
    };
}

TEST(Orbavox, RadioDataBlock) {
    for (const block_case &c : block_cases()) {
        symbols s;
        // Every frame first sends the record as it stands (with mode DN),
        // then its data channel's line, if any.
        std::string expected, record_line = "protocol:YSF;mode:DN;\n";
        for (const data_frame &f : c.frames) {
            append(s, mode2_frame(f.fn, f.data.data()));
            expected += record_line;
            if (!f.line.empty()) {
                expected += f.line;
                record_line = f.line;
            }
            if (!f.silent.empty()) record_line = f.silent;
        }
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_EQ(d.err.contents(), c.errors) << c.name;
        EXPECT_EQ(d.meta.contents(), expected) << c.name;
        EXPECT_EQ(d.out.contents().size(), c.frames.size() * 5 * 8) << c.name;
    }
}

// Data full-rate frames and frames of FI 3 are not decoded at all.
TEST(Orbavox, FramesWithoutOutput) {
    fich_fields other;
    other.fi = 3;
    other.dt = fich_dt_vd_mode1;
    for (const fich_fields &f : {communication(fich_dt_data_full_rate, 0), other}) {
        symbols s = frame_of(f);
        append(s, frame_of(f));
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_EQ(d.out.contents(), "");
        EXPECT_EQ(d.err.contents(), "");
        EXPECT_EQ(d.meta.contents(), "");
    }
}

// The header flag outlives frames of other modes: the first voice full-rate
// frame after a header gives two records however late it comes.
TEST(Orbavox, HeaderFlagWaitsForVoiceFullRate) {
    fich_fields header;
    header.fi = fich_fi_header;
    symbols s(frame_symbols);
    build_header_frame(header, test_calls(), s.data());
    append(s, frame_of(communication(fich_dt_vd_mode1, 0)));
    append(s, frame_of(communication(fich_dt_voice_full_rate, 1)));
    append(s, frame_of(communication(fich_dt_voice_full_rate, 2)));
    decoder d;
    d.feed(with_trailer(s));
    const std::string out = d.out.contents();
    std::string modes;
    for (size_t i = 0; i < out.size(); i += static_cast<size_t>(out[i] == 0 ? 13 : 19)) modes += char('0' + out[i]);
    EXPECT_EQ(modes,
              "00000"
              "33"
              "33333");
}

// A stream that starts inside a transmission, after noise, is followed from
// the first frame start found; the header was missed, so the call signs come
// from the data channel only.
TEST(Orbavox, JoinsATransmissionLate) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode2;
    plan.calls = test_calls();
    plan.communication_frames = 4;
    transmission t = build(plan);
    std::mt19937 rng(7);
    symbols s(1000);
    for (auto &x : s) x = static_cast<uint8_t>(rng() & 3);
    // From the middle of the header, through frame 0, from frame 1 on.
    s.insert(s.end(), t.symbols.begin() + 2 * frame_symbols - 100, t.symbols.end());
    decoder d;
    d.feed(with_trailer(s));
    EXPECT_EQ(d.out.contents(), text(t.voice_records).substr(5 * 8));
    EXPECT_EQ(d.meta.contents(),
              "protocol:YSF;mode:DN;\n"
              "protocol:YSF;mode:DN;source:DL1ABC    ;\n"
              "protocol:YSF;mode:DN;source:DL1ABC    ;\n"
              "protocol:YSF;mode:DN;source:DL1ABC    ;down:DB0XYZ    ;\n"
              "protocol:YSF;mode:DN;source:DL1ABC    ;down:DB0XYZ    ;\n"
              "protocol:YSF;mode:DN;source:DL1ABC    ;up:DM0UP     ;down:DB0XYZ    ;\n"
              "protocol:YSF;\n");
}

// One V/D mode 1 frame with the given frame number and 20 data channel bytes.
symbols mode1_frame(uint8_t fn, const std::string &data) {
    symbols frame(frame_symbols);
    build_communication_frame(communication(fich_dt_vd_mode1, fn), nullptr, 0,
                              reinterpret_cast<const uint8_t *>(data.data()), frame.data());
    return frame;
}

// Late entry in V/D mode 1: without the header, frames 0 and 1 of the data
// channel fill in target and source, then down and up.
TEST(Orbavox, VdMode1LateEntryFillsTheCallSigns) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode1;
    plan.calls = test_calls();
    plan.communication_frames = 3;
    plan.header = false;
    transmission t = build(plan);
    decoder d;
    d.feed(with_trailer(t.symbols));
    EXPECT_EQ(d.out.contents(), text(t.voice_records));
    EXPECT_EQ(d.err.contents(), "");
    const std::string first = "protocol:YSF;mode:V1;source:DL1ABC    ;target:ALL       ;\n";
    const std::string all = "protocol:YSF;mode:V1;" + calls_fields + "\n";
    EXPECT_EQ(d.meta.contents(), "protocol:YSF;mode:V1;\n" + first + first + all + all + "protocol:YSF;\n");
}

// What the V/D mode 1 data channel does not change: a channel that fails its
// CRC (silently), frames numbered 2 to 7, a frame without its own FICH, and
// call signs equal to the record's (no further line).
TEST(Orbavox, VdMode1DataChannelIsTakenOnlyFromFramesZeroAndOne) {
    const std::string calls = "CQCQCQ    JA1XYZ    ";
    symbols damaged = mode1_frame(0, calls);
    for (int b = 0; b < 5; ++b)  // all zero: its CRC is FFFF, not 0000
        std::fill_n(damaged.begin() + 120 + 72 * b, 36, 0);
    symbols no_fich = mode1_frame(0, "OTHER     CALLS     ");
    std::fill(no_fich.begin() + 20, no_fich.begin() + 120, 0);
    const std::string v1 = "protocol:YSF;mode:V1;\n";
    const std::string with_calls = "protocol:YSF;mode:V1;source:JA1XYZ    ;target:CQCQCQ    ;\n";
    struct mode1_case {
        const char *name;
        std::vector<symbols> frames;
        std::string meta;
        const char *errors;
    } cases[] = {
        {"CRC failure", {damaged}, v1, ""},
        {"frame number 2", {mode1_frame(2, calls)}, v1, ""},
        {"frame number 7", {mode1_frame(7, calls)}, v1, ""},
        {"no FICH of its own", {mode1_frame(0, calls), no_fich}, v1 + with_calls + with_calls, "CRC failure\n"},
        {"same call signs again", {mode1_frame(0, calls), mode1_frame(0, calls)}, v1 + with_calls + with_calls, ""},
    };
    for (const mode1_case &c : cases) {
        symbols s;
        for (const symbols &f : c.frames) append(s, f);
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_EQ(d.meta.contents(), c.meta) << c.name;
        EXPECT_EQ(d.err.contents(), c.errors) << c.name;
        EXPECT_EQ(d.out.contents().size(), c.frames.size() * 5 * 13) << c.name;
    }
}

bool ends_with(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A reply 100 to 200 ms (480 to 960 symbols of noise) after the call before
// it, at any phase. After the terminator the decoder searches afresh; with
// the terminator lost, the reply's sync found off the old grid after a
// missed frame ends the old grid. Either way every voice record and line of
// the reply arrives, its header call signs included.
TEST(Orbavox, ReplyAfterAnotherTransmissionArrivesWhole) {
    transmission_plan first_plan;
    first_plan.data_type = fich_dt_vd_mode1;
    first_plan.calls = test_calls();
    first_plan.communication_frames = 6;
    transmission_plan reply_plan;
    reply_plan.data_type = fich_dt_vd_mode2;
    reply_plan.calls.target = call_sign("DL1ABC");
    reply_plan.calls.source = call_sign("JA1XYZ");
    reply_plan.communication_frames = 10;
    const transmission first = build(first_plan), reply = build(reply_plan);
    decoder first_alone, reply_alone;
    first_alone.feed(with_trailer(first.symbols));
    reply_alone.feed(with_trailer(reply.symbols));
    ASSERT_NE(reply_alone.meta.contents().find("source:JA1XYZ    ;target:DL1ABC    ;\n"), std::string::npos);

    std::mt19937 rng(12);
    for (bool terminator_lost : {false, true})
        for (int gap : {480, 500, 613, 777, 959, 960}) {
            symbols s = first.symbols;
            if (terminator_lost)
                for (size_t i = s.size() - frame_symbols; i < s.size(); ++i) s[i] = static_cast<uint8_t>(rng() & 3);
            for (int i = 0; i < gap; ++i) s.push_back(static_cast<uint8_t>(rng() & 3));
            append(s, reply.symbols);
            decoder d;
            d.feed(with_trailer(s));
            SCOPED_TRACE("gap " + std::to_string(gap) + (terminator_lost ? ", terminator lost" : ""));
            EXPECT_TRUE(ends_with(d.out.contents(), reply_alone.out.contents()));
            EXPECT_TRUE(ends_with(d.meta.contents(), reply_alone.meta.contents()));
            if (!terminator_lost) {
                EXPECT_EQ(d.out.contents(), first_alone.out.contents() + reply_alone.out.contents());
                EXPECT_EQ(d.meta.contents(), first_alone.meta.contents() + reply_alone.meta.contents());
                EXPECT_EQ(d.err.contents(), "");
            } else if (gap % frame_symbols != 0) {
                // The old grid ends where it missed, as on lost sync.
                EXPECT_NE(d.err.contents().find("lost sync at "), std::string::npos);
                EXPECT_TRUE(ends_with(d.meta.contents(), "protocol:YSF;\n" + reply_alone.meta.contents()));
            }
        }
}

// The symbols of a transmission's first sync are the ones a demodulator
// decides while it still settles after a gap (its levels and clock come
// from the noise): the header's sync may come with up to 15 wrong bits
// while its FICH and data channels are right. Such a header is found, when
// its FICH decodes as a header's and the next frame's sync matches, and its
// call signs arrive; with 16 wrong bits, or without the next sync, it is
// not, and the transmission is followed from its next frame.
TEST(Orbavox, HeaderWhoseSyncIsDamagedAfterAGap) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode2;
    plan.calls = test_calls();
    plan.communication_frames = 4;
    const transmission t = build(plan);
    decoder alone;
    alone.feed(with_trailer(t.symbols));
    ASSERT_EQ(alone.meta.contents().substr(0, header_lines.size()), header_lines);

    const struct {
        int wrong_bits;
        bool next_sync_lost;
        bool header_found;
    } cases[] = {{4, false, true}, {9, false, true}, {15, false, true}, {16, false, false}, {9, true, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.wrong_bits) + " wrong bits" + (c.next_sync_lost ? ", next sync lost" : ""));
        std::mt19937 rng(7);
        symbols s;
        for (int i = 0; i < 4800; ++i) s.push_back(static_cast<uint8_t>(rng() & 3));  // 1 s of noise
        symbols tx = t.symbols;
        // Each sync symbol moved to the neighbouring level of the same sign
        // (+3 and +1, -1 and -3): one wrong bit.
        for (int i = 0; i < c.wrong_bits; ++i) tx[static_cast<size_t>(i)] ^= 1;
        if (c.next_sync_lost) std::fill(tx.begin() + frame_symbols, tx.begin() + frame_symbols + 20, 2);
        append(s, tx);
        decoder d;
        d.feed(with_trailer(s));
        const std::string meta = d.meta.contents();
        if (c.header_found) {
            EXPECT_EQ(meta, alone.meta.contents());
            EXPECT_EQ(d.out.contents(), alone.out.contents());
            EXPECT_EQ(d.err.contents(), "");
        } else {
            EXPECT_EQ(meta.find(header_lines), std::string::npos);
            // The frames after the header are still followed.
            EXPECT_NE(meta.find("protocol:YSF;mode:DN;"), std::string::npos);
        }
    }
}

// Symbols delivered in any block sizes give the same bytes, blocks larger
// than one read included.
TEST(Orbavox, BlockSizesDoNotMatter) {
    transmission_plan plan;
    plan.data_type = fich_dt_vd_mode2;
    plan.calls = test_calls();
    plan.has_position = true;
    plan.latitude = -33.866;
    plan.longitude = 151.21;
    transmission t = build(plan);
    symbols s(333, 2);
    append(s, t.symbols);
    append(s, symbols(7 * frame_symbols + 5, 1));
    append(s, t.symbols);
    decoder reference;
    reference.feed(s, 128);
    ASSERT_NE(reference.meta.contents().find("lat:-33.865997;lon:151.209991;"), std::string::npos);
    for (size_t chunk : {1, 3, 20, 21, 127, 481, 5000}) {
        decoder d;
        d.feed(s, chunk);
        EXPECT_EQ(d.out.contents(), reference.out.contents()) << chunk;
        EXPECT_EQ(d.err.contents(), reference.err.contents()) << chunk;
        EXPECT_EQ(d.meta.contents(), reference.meta.contents()) << chunk;
    }
}

// Garbage of every kind: any byte values, every FICH type over random
// blocks, call-sign fields of any bytes, streams cut anywhere. The
// sanitizer build turns any out-of-bounds access into a failure.
TEST(Orbavox, SurvivesGarbage) {
    std::mt19937 rng(1);
    {
        symbols bytes(200000);
        for (auto &b : bytes) b = static_cast<uint8_t>(rng());
        decoder d;
        d.feed(bytes, 97);
    }
    {
        // Random symbols with a sync every 480: every frame is followed.
        symbols s;
        for (int fi = 0; fi < 4; ++fi)
            for (int dt = 0; dt < 4; ++dt)
                for (int fn = 0; fn < 8; ++fn) {
                    fich_fields f = communication(static_cast<uint8_t>(dt), static_cast<uint8_t>(fn));
                    f.fi = static_cast<uint8_t>(fi);
                    f.sql = 1;
                    f.sc = static_cast<uint8_t>(rng() & 127);
                    symbols frame = frame_of(f);
                    for (size_t i = 120; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(rng());
                    append(s, frame);
                }
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_TRUE(d.state->synced);
    }
    {
        // Call signs and a radio block of arbitrary bytes, sealed so that it
        // is evaluated.
        symbols s;
        for (int round = 0; round < 20; ++round) {
            std::vector<uint8_t> block(20);
            for (auto &b : block) b = static_cast<uint8_t>(rng());
            block[1] = 0x22;
            block[2] = static_cast<uint8_t>(round % 2 ? 0x62 : 0x61);
            block[3] = 0x5F;
            build_radio_data_block(&block[1], block[4], round % 2 ? &block[5] : nullptr, block.data());
            for (uint8_t fn = 0; fn < 8; ++fn) {
                std::vector<uint8_t> data(10);
                for (auto &b : data) b = static_cast<uint8_t>(rng());
                if (fn >= 6) data = half(block, fn - 6);
                append(s, mode2_frame(fn, data.data()));
            }
        }
        decoder d;
        d.feed(with_trailer(s));
        EXPECT_EQ(d.err.contents().find("DCH CRC failure"), std::string::npos);
    }
    {
        // A transmission cut anywhere writes a prefix of the whole output.
        transmission_plan plan;
        plan.data_type = fich_dt_voice_full_rate;
        plan.calls = test_calls();
        plan.communication_frames = 2;
        transmission t = build(plan);
        decoder whole;
        whole.feed(with_trailer(t.symbols));
        for (size_t cut = 0; cut < t.symbols.size(); cut += 37) {
            decoder d;
            d.feed(symbols(t.symbols.begin(), t.symbols.begin() + static_cast<long>(cut)));
            EXPECT_EQ(d.out.contents(), whole.out.contents().substr(0, d.out.contents().size())) << cut;
            EXPECT_EQ(d.meta.contents(), whole.meta.contents().substr(0, d.meta.contents().size())) << cut;
        }
    }
}

}  // namespace
