// SPDX-License-Identifier: MIT
// Sensitivity benchmark: how much of a transmission the receiving chains
// recover as the signal gets weaker or the clocks run off, with the chains
// of this suite and independent decoders side by side.
//
// Every transmission is made by airmint (root-raised-cosine roll-off 0.2,
// the DMR and System Fusion transmit pulse) and received by real programs
// joined by pipes. The four-level chains, for DMR and System Fusion:
//   quadslice             airmint | quadslice | tessavox (orbavox) -f META
//   pulsesieve|quadslice  airmint | pulsesieve | quadslice | tessavox ...
//   quadlock              airmint | quadlock | tessavox ...
//   dsdcc                 airmint | dsdcc_anchor [-m META]   (libdsdcc)
// The two-level chains, for POCSAG at 512, 1200 and 2400 bits/s:
//   duoslice              airmint | duoslice -i | pagewick    (1200 only)
//   duolock               airmint | duolock -i -r RATE | pagewick
//   multimon-ng           airmint | sox (to 22050 Hz s16) | multimon-ng -a POCSAGRATE
// What came out is compared with what was sent:
//   DMR LC      superframes whose embedded link control gave a metadata line
//               with the sent source and talk group (not measured for dsdcc)
//   DMR voice   voice bursts (36-byte units) received without a bit error;
//               for dsdcc, its 9-byte voice frames equal to those it gives
//               for the same transmission without noise or clock error
//   YSF calls   transmissions whose source and target call signs were
//               reported correctly on some metadata line
//   YSF voice   tagged codec frame records received without a bit error
//               (dsdcc: as for DMR)
//   POCSAG      pages printed exactly as sent
// Lines that report another source, target, call sign or page than the one
// sent are counted as false decodes.
//
// Every transmission's content (addresses, call signs, voice, pages) and
// noise come from seeded generators, so a run repeats exactly.
//
// Usage: sensitivity_bench BIN_DIR [options]   (see usage_text below)

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chain_pipeline.h"
#include "child_process.h"
#include "dmr_encode.h"
#include "ysf_encode.h"

namespace {

const char usage_text[] =
    "Usage: sensitivity_bench BIN_DIR [options]\n"
    "  -n N          transmissions per point, protocol and chain (default 20)\n"
    "  --quick       5 transmissions per point, SNR in 4 dB steps, fewer clock errors\n"
    "  --snr-from D, --snr-to D, --snr-step D\n"
    "                SNR sweep of DMR and System Fusion in dB (default 1 to 21 in steps of 2)\n"
    "  --pocsag-snr-from D, --pocsag-snr-to D, --pocsag-snr-step D\n"
    "                SNR sweep of POCSAG in dB (default -13 to 11 in steps of 2)\n"
    "  --ppm LIST    clock errors in ppm, comma-separated (default -1000,-500,-300,0,300,500,1000)\n"
    "  --ppm-snr D   SNR of the clock-error sweeps (default 20)\n"
    "  --jobs N      chains run at once, 1 or 2 (default 2)\n"
    "  --seed N      seed of contents and noise (default 1)\n"
    "  --only LIST   protocols, comma-separated: dmr,ysf,pocsag (default all)\n"
    "  --data FILE   write the figures for plotting to FILE\n"
    "  --verbose     print each false decode and each chain that failed, with its command\n";

enum protocol { dmr, ysf, pocsag512, pocsag1200, pocsag2400, protocol_count };
const char *const protocol_names[protocol_count] = {"dmr", "ysf", "pocsag", "pocsag", "pocsag"};
const int pocsag_rates[protocol_count] = {0, 0, 512, 1200, 2400};

bool is_pocsag(protocol p) { return p >= pocsag512; }

// The receiving chains. The first four take four-level symbols, the last
// three two-level bits.
enum chain_kind { quadslice_chain, pulsesieve_chain, quadlock_chain, dsdcc_chain, duoslice_chain, duolock_chain,
                  multimon_chain, chain_count };
const char *const chain_names[chain_count] = {"quadslice", "pulsesieve|quadslice", "quadlock", "dsdcc",
                                              "duoslice", "duolock", "multimon-ng"};
const chain_kind four_level_chains[] = {quadslice_chain, pulsesieve_chain, quadlock_chain, dsdcc_chain};
const chain_kind two_level_chains[] = {duoslice_chain, duolock_chain, multimon_chain};

// The sweeps: SNR with exact clocks; receiver clock error at a fixed SNR;
// the same clock errors on POCSAG hard limited to a square wave, as a
// receiver with a limiting discriminator output gives it.
// POCSAG has its own SNR sweep: a bit of 1200 bits/s spans 40 samples, so
// its threshold lies some 15 dB below that of the four-level symbols.
enum sweep { snr_sweep, pocsag_snr_sweep, ppm_sweep, clip_sweep, sweep_count };
constexpr double clip_level = 0.05;  // of the level 1.0: a square wave

struct options {
    std::string bin;
    int transmissions = 20;
    double snr_from = 1, snr_to = 21, snr_step = 2;
    double pocsag_snr_from = -13, pocsag_snr_to = 11, pocsag_snr_step = 2;
    double ppm_snr = 20;
    std::vector<double> ppm_points = {-1000, -500, -300, 0, 300, 500, 1000};
    int jobs = 2;
    uint64_t seed = 1;
    bool use[protocol_count] = {true, true, true, true, true};
    std::string data_path;
    bool verbose = false;
    // Paths of the anchors ("" when absent).
    std::string dsdcc, sox, multimon;
};

// splitmix64: a small seeded generator, so that every transmission's
// content follows from the run's seed and its own numbers alone.
struct rng {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
};

uint64_t mix_seed(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    rng r{a * 1000003u + b};
    r.state ^= c * 0x100000001B3ull + d * 0x9E3779B97F4A7C15ull;
    r.next();
    return r.next();
}

// The figures of one transmission: two measures (counted and sent), false
// decodes, and whether every program of the chain ended cleanly.
struct outcome {
    long got[2] = {0, 0};
    long sent[2] = {0, 0};
    long wrong = 0;
    bool clean = true;
    std::string command;                   // the chain, as a shell command line
    std::vector<std::string> false_lines;  // what the false decodes said
};

struct work_item {
    sweep which;
    int point;
    double x;  // SNR in dB or clock error in ppm
    protocol proto;
    chain_kind chain;
    int index;  // transmission number within the point
    outcome result;
};

std::string format_number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The channel options of airmint for a work item. The noise of a
// transmission is the same for every chain, so the chains meet the same
// signals.
std::vector<std::string> channel_args(const options &o, const work_item &w) {
    const bool snr = w.which == snr_sweep || w.which == pocsag_snr_sweep;
    const double ppm = snr ? 0 : w.x;
    const uint64_t noise_seed = mix_seed(o.seed, static_cast<uint64_t>(w.proto) + 1,
                                         static_cast<uint64_t>(w.which) * 1000 + static_cast<uint64_t>(w.point),
                                         static_cast<uint64_t>(w.index)) >>
                                2;
    std::vector<std::string> args = {"--snr", format_number(snr ? w.x : o.ppm_snr), "--seed",
                                     std::to_string(noise_seed)};
    if (!is_pocsag(w.proto)) {
        args.push_back("--roll-off");
        args.push_back("0.2");
    }
    if (ppm != 0) {
        args.push_back("--ppm");
        args.push_back(format_number(ppm));
    }
    if (w.which == clip_sweep) {
        args.push_back("--clip");
        args.push_back(format_number(clip_level));
    }
    // A start anywhere within a symbol, as a real transmission's.
    const uint64_t phase = mix_seed(o.seed, 99, static_cast<uint64_t>(w.proto), static_cast<uint64_t>(w.index)) % 1000;
    args.push_back("--phase");
    args.push_back(format_number(static_cast<double>(phase) / 1000.0));
    return args;
}

// A transmission's content depends on its protocol and number only, so the
// same transmissions meet every SNR, clock error and chain.
rng content_rng(const options &o, const work_item &w) {
    return rng{mix_seed(o.seed, 77, static_cast<uint64_t>(w.proto), static_cast<uint64_t>(w.index))};
}

std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> split_units(const std::string &bytes, std::size_t unit) {
    std::vector<std::string> units;
    for (std::size_t at = 0; at + unit <= bytes.size(); at += unit) units.push_back(bytes.substr(at, unit));
    return units;
}

// The demodulating stages of a four-level chain of this suite.
std::vector<chain_stage> four_level_front(const options &o, chain_kind chain) {
    switch (chain) {
        case pulsesieve_chain:
            return {{o.bin + "/pulsesieve"}, {o.bin + "/quadslice"}};
        case quadlock_chain:
            return {{o.bin + "/quadlock"}};
        default:
            return {{o.bin + "/quadslice"}};
    }
}

// ---- dsdcc: its voice frames of a transmission without noise ----

// What dsdcc gives for a transmission without noise or clock error, the
// reference its noisy receptions are compared with; kept per protocol and
// transmission number.
std::mutex reference_lock;
std::map<std::pair<int, int>, std::string> dsdcc_references;

std::string dsdcc_reference(const options &o, const work_item &w, const std::vector<std::string> &airmint_content,
                            const std::string &dir) {
    {
        const std::lock_guard<std::mutex> hold(reference_lock);
        auto found = dsdcc_references.find({w.proto, w.index});
        if (found != dsdcc_references.end()) return found->second;
    }
    std::vector<std::string> airmint = airmint_content;
    for (const char *a : {"--roll-off", "0.2"}) airmint.push_back(a);
    const std::string out_path = dir + "/reference";
    run_chain({airmint, {o.dsdcc}}, "", out_path, "", 120);
    const std::string frames = read_whole_file(out_path);
    const std::lock_guard<std::mutex> hold(reference_lock);
    dsdcc_references[{w.proto, w.index}] = frames;
    return frames;
}

// Runs dsdcc on the transmission; the voice measure is its frames equal to
// its reference, in order.
void run_dsdcc(const options &o, const work_item &w, const std::vector<std::string> &airmint_content,
               const std::string &dir, const std::string &meta_path, outcome &result) {
    std::vector<std::string> airmint = airmint_content;
    for (const std::string &a : channel_args(o, w)) airmint.push_back(a);
    const std::string out_path = dir + "/out";
    std::remove(meta_path.c_str());
    const std::vector<chain_stage> chain = {airmint, {o.dsdcc, "-m", meta_path}};
    const chain_run run = run_chain(chain, "", out_path, "", 120);
    result.clean = run.clean;
    result.command = chain_text(chain, "", out_path);
    const std::vector<std::string> reference = split_units(dsdcc_reference(o, w, airmint_content, dir), 9);
    result.got[1] = units_in_order(read_whole_file(out_path), reference, 9);
    result.sent[1] = static_cast<long>(reference.size());
}

// ---- DMR: a group call of two superframes in slot 0 ----

constexpr int dmr_superframes = 2;

outcome run_dmr(const options &o, const work_item &w, const std::string &dir) {
    rng r = content_rng(o, w);
    const uint32_t source = 1 + r.below(16777215), target = 1 + r.below(16777215);
    const uint32_t base = r.below(1u << 30);
    const int colour_code = static_cast<int>(r.below(16));
    std::string voice;
    std::vector<std::string> units;
    for (int f = 0; f < 18 * dmr_superframes; ++f) {
        const dmr_encode::codec_frame frame = dmr_encode::test_pattern_frame(base + static_cast<uint32_t>(f));
        const std::string bytes(reinterpret_cast<const char *>(frame.data()), frame.size());
        voice += bytes;
        if (f % 3 == 0) units.emplace_back();
        units.back() += bytes;
    }
    const std::string voice_path = dir + "/voice", meta_path = dir + "/meta", out_path = dir + "/out";
    outcome result;
    if (!write_file(voice_path, voice)) {
        result.clean = false;
        return result;
    }
    const std::vector<std::string> airmint = {o.bin + "/airmint",
                                              "--source",
                                              std::to_string(source),
                                              "-t",
                                              std::to_string(target),
                                              "--colour-code",
                                              std::to_string(colour_code),
                                              "--superframes",
                                              std::to_string(dmr_superframes),
                                              "--voice",
                                              voice_path};
    if (w.chain == dsdcc_chain) {
        run_dsdcc(o, w, airmint, dir, meta_path, result);
        return result;
    }
    std::vector<chain_stage> chain = {airmint};
    for (const std::string &a : channel_args(o, w)) chain[0].push_back(a);
    for (const chain_stage &stage : four_level_front(o, w.chain)) chain.push_back(stage);
    chain.push_back({o.bin + "/tessavox", "-f", meta_path});
    const chain_run run = run_chain(chain, "", out_path, "", 120);
    result.clean = run.clean;
    result.command = chain_text(chain, "", out_path);

    // A line with the call's source and target that follows a voice-sync
    // line of the same slot comes from the embedded link control; the first
    // voice-sync line of a call only repeats what the header gave.
    bool previous_voice[2] = {false, false};
    long embedded = 0;
    for (const std::string &line : split_lines(read_whole_file(meta_path))) {
        std::string slot_text, sync, source_text, target_text, type;
        field(line, "slot", slot_text);
        field(line, "sync", sync);
        const int slot = slot_text == "1" ? 1 : 0;
        const bool has_source = field(line, "source", source_text);
        const bool has_target = field(line, "target", target_text);
        field(line, "type", type);
        if (has_source || has_target) {
            const bool right = slot == 0 && type == "group" && source_text == std::to_string(source) &&
                               target_text == std::to_string(target);
            if (!right) {
                ++result.wrong;
                result.false_lines.push_back(line);
            } else if (sync == "voice" && previous_voice[slot])
                ++embedded;
        }
        previous_voice[slot] = sync == "voice";
    }
    result.got[0] = embedded < dmr_superframes ? embedded : dmr_superframes;
    result.sent[0] = dmr_superframes;
    result.got[1] = units_in_order(read_whole_file(out_path), units, 36);
    result.sent[1] = static_cast<long>(units.size());
    return result;
}

// ---- System Fusion: a voice/data mode 2 transmission of 16 frames ----

constexpr int ysf_frames = 16;

std::string random_call_sign(rng &r) {
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string sign;
    sign += letters[r.below(26)];
    sign += letters[r.below(26)];
    sign += static_cast<char>('0' + r.below(10));
    const int tail = 1 + static_cast<int>(r.below(3));
    for (int i = 0; i < tail; ++i) sign += letters[r.below(26)];
    return sign;
}

std::string padded_call_sign(const std::string &sign) { return sign + std::string(10 - sign.size(), ' '); }

outcome run_ysf(const options &o, const work_item &w, const std::string &dir) {
    rng r = content_rng(o, w);
    const std::string source = random_call_sign(r), target = random_call_sign(r);
    const int base = static_cast<int>(r.below(1u << 30));
    const int frame_size = 7, per_frame = 5;
    std::string voice;
    std::vector<std::string> records;
    for (int f = 0; f < ysf_frames * per_frame; ++f) {
        uint8_t frame[7];
        ysf_encode::test_voice_frame(ysf_encode::fich_dt_vd_mode2, base + f, frame);
        const std::string bytes(reinterpret_cast<const char *>(frame), frame_size);
        voice += bytes;
        records.push_back(std::string(1, static_cast<char>(ysf_encode::fich_dt_vd_mode2)) + bytes);
    }
    const std::string voice_path = dir + "/voice", meta_path = dir + "/meta", out_path = dir + "/out";
    outcome result;
    if (!write_file(voice_path, voice)) {
        result.clean = false;
        return result;
    }
    const std::vector<std::string> airmint = {
        o.bin + "/airmint",         "-p",      "ysf",     "--source", source, "-t", target, "--frames",
        std::to_string(ysf_frames), "--voice", voice_path};
    if (w.chain == dsdcc_chain) {
        run_dsdcc(o, w, airmint, dir, meta_path, result);
    } else {
        std::vector<chain_stage> chain = {airmint};
        for (const std::string &a : channel_args(o, w)) chain[0].push_back(a);
        for (const chain_stage &stage : four_level_front(o, w.chain)) chain.push_back(stage);
        chain.push_back({o.bin + "/orbavox", "-f", meta_path});
        const chain_run run = run_chain(chain, "", out_path, "", 120);
        result.clean = run.clean;
        result.command = chain_text(chain, "", out_path);
        result.got[1] = units_in_order(read_whole_file(out_path), records, 1 + frame_size);
        result.sent[1] = static_cast<long>(records.size());
    }

    // Lines with a blank call sign (dsdcc's before the header) count as
    // neither right nor false.
    const std::string want_source = padded_call_sign(source), want_target = padded_call_sign(target);
    const std::string blank(10, ' ');
    bool calls = false;
    for (const std::string &line : split_lines(read_whole_file(meta_path))) {
        std::string got_source, got_target;
        const bool has_source = field(line, "source", got_source) && !got_source.empty() && got_source != blank;
        const bool has_target = field(line, "target", got_target) && !got_target.empty() && got_target != blank;
        if ((has_source && got_source != want_source) || (has_target && got_target != want_target)) {
            ++result.wrong;
            result.false_lines.push_back(line);
        }
        if (has_source && has_target && got_source == want_source && got_target == want_target) calls = true;
    }
    result.got[0] = calls ? 1 : 0;
    result.sent[0] = 1;
    return result;
}

// ---- POCSAG: three pages, two alphanumeric and one numeric ----

std::string random_text(rng &r, int length) {
    const char characters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?-+/()";
    std::string text;
    for (int i = 0; i < length; ++i) text += characters[r.below(sizeof characters - 1)];
    return text;
}

// A page line of multimon-ng ("POCSAG1200: Address: 1234567  Function: 3
// Alpha:   TEXT", or "Numeric: TEXT") in the form pagewick prints
// ("address:1234567;message:TEXT"); lines of another kind come back as they
// are.
std::string multimon_page(const std::string &line) {
    const std::size_t address = line.find("Address:");
    std::size_t text = line.find("Alpha:   ");
    std::size_t skip = 9;
    if (text == std::string::npos) {
        text = line.find("Numeric: ");
        skip = 9;
    }
    if (address == std::string::npos || text == std::string::npos) return line;
    const long number = std::strtol(line.c_str() + address + 8, nullptr, 10);
    // The fill at the end of the last codeword shows as "<NUL>".
    std::string message = line.substr(text + skip);
    while (message.size() >= 5 && message.compare(message.size() - 5, 5, "<NUL>") == 0)
        message.resize(message.size() - 5);
    return "address:" + std::to_string(number) + ";message:" + message;
}

outcome run_pocsag(const options &o, const work_item &w, const std::string &dir) {
    rng r = content_rng(o, w);
    const int rate = pocsag_rates[w.proto];
    std::vector<std::string> airmint = {o.bin + "/airmint", "-p", "pocsag", "--baud", std::to_string(rate)};
    std::vector<std::string> expected;
    for (int page = 0; page < 3; ++page) {
        const uint32_t address = r.below(2097152);
        // Numeric pages of whole codewords (5 digits each) print without fill.
        const bool numeric = page == 1;
        const std::string text = numeric ? std::to_string(1000000000u + r.below(1000000000u))
                                         : random_text(r, 10 + static_cast<int>(r.below(71)));
        airmint.push_back(numeric ? "--numeric-page" : "--page");
        airmint.push_back(std::to_string(address) + ":" + text);
        expected.push_back("address:" + std::to_string(address) + ";message:" + text);
    }
    for (const std::string &a : channel_args(o, w)) airmint.push_back(a);
    const std::string out_path = dir + "/out";
    std::vector<chain_stage> chain = {airmint};
    if (w.chain == duoslice_chain) {
        chain.push_back({o.bin + "/duoslice", "-i"});
        chain.push_back({o.bin + "/pagewick"});
    } else if (w.chain == duolock_chain) {
        chain.push_back({o.bin + "/duolock", "-i", "-r", std::to_string(rate)});
        chain.push_back({o.bin + "/pagewick"});
    } else {
        // Scaled by a quarter so that noise peaks do not clip the 16-bit
        // samples; no dither, so that a run repeats.
        chain.push_back({o.sox, "-D", "-R", "-q", "-v", "0.25", "-t", "f32", "-r", "48000", "-c", "1", "-", "-t",
                         "s16", "-r", "22050", "-c", "1", "-"});
        chain.push_back({o.multimon, "-q", "-a", "POCSAG" + std::to_string(rate), "-t", "raw", "-"});
    }
    const chain_run run = run_chain(chain, "", out_path, "", 120);
    outcome result;
    result.clean = run.clean;
    result.command = chain_text(chain, "", out_path);
    std::vector<bool> taken(expected.size(), false);
    for (std::string line : split_lines(read_whole_file(out_path))) {
        if (w.chain == multimon_chain) line = multimon_page(line);
        bool found = false;
        for (std::size_t i = 0; i < expected.size() && !found; ++i)
            if (!taken[i] && line == expected[i]) taken[i] = found = true;
        if (found) {
            ++result.got[0];
        } else {
            ++result.wrong;
            result.false_lines.push_back(line);
        }
    }
    result.sent[0] = static_cast<long>(expected.size());
    return result;
}

outcome run_item(const options &o, const work_item &w, const std::string &dir) {
    switch (w.proto) {
        case dmr:
            return run_dmr(o, w, dir);
        case ysf:
            return run_ysf(o, w, dir);
        default:
            return run_pocsag(o, w, dir);
    }
}

// Prints a transmission's false decodes and a failed chain to stderr, with
// the command that reproduces it (the work directory's files are reused).
void report_item(const work_item &w) {
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    if (!w.result.clean) std::fprintf(stderr, "chain failed: %s\n", w.result.command.c_str());
    for (const std::string &line : w.result.false_lines)
        std::fprintf(stderr, "false decode: %s\n  from: %s\n", line.c_str(), w.result.command.c_str());
}

// ---- Which chains run, sums per point and the tables ----

// Whether a chain runs for a protocol: the four-level chains for DMR and
// System Fusion, the two-level ones for POCSAG (duoslice knows 1200 bits/s
// only), the anchors when installed.
bool chain_runs(const options &o, protocol p, chain_kind c) {
    if (!o.use[p]) return false;
    if (!is_pocsag(p)) return c <= dsdcc_chain && (c != dsdcc_chain || !o.dsdcc.empty());
    if (c == duoslice_chain) return p == pocsag1200;
    if (c == multimon_chain) return !o.sox.empty() && !o.multimon.empty();
    return c == duolock_chain;
}

bool sweep_runs(sweep s, protocol p) {
    if (s == snr_sweep) return !is_pocsag(p);
    return s == ppm_sweep || is_pocsag(p);
}

struct point_sum {
    outcome total[protocol_count][chain_count];
    int failures = 0;
};

void add(outcome &sum, const outcome &one) {
    for (int k = 0; k < 2; ++k) {
        sum.got[k] += one.got[k];
        sum.sent[k] += one.sent[k];
    }
    sum.wrong += one.wrong;
}

double percent(const outcome &o, int k) {
    return o.sent[k] > 0 ? 100.0 * static_cast<double>(o.got[k]) / static_cast<double>(o.sent[k]) : NAN;
}

std::string cell(double a, double b) {
    char text[32];
    auto one = [](double v) { return std::isnan(v) ? std::string("-") : format_number(std::round(v * 10) / 10); };
    std::snprintf(text, sizeof text, "%s/%s", one(a).c_str(), one(b).c_str());
    return text;
}

std::string cell(double a) {
    if (std::isnan(a)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", a);
    return text;
}

// False decodes of the chains shown in a table, per point.
long false_decodes(const point_sum &p, const std::vector<protocol> &protocols) {
    long wrong = 0;
    for (protocol pr : protocols)
        for (int c = 0; c < chain_count; ++c) wrong += p.total[pr][c].wrong;
    return wrong;
}

void print_four_level(const options &o, protocol p, const char *what, const char *x_name,
                      const std::vector<double> &xs, const std::vector<point_sum> &sums) {
    std::printf("\n%s\n%8s", what, x_name);
    for (chain_kind c : four_level_chains)
        if (chain_runs(o, p, c)) std::printf(" %21s", chain_names[c]);
    std::printf(" %7s\n", "false");
    for (std::size_t i = 0; i < xs.size(); ++i) {
        std::printf("%8g", xs[i]);
        for (chain_kind c : four_level_chains)
            if (chain_runs(o, p, c))
                std::printf(" %21s", cell(percent(sums[i].total[p][c], 0), percent(sums[i].total[p][c], 1)).c_str());
        std::printf(" %7ld\n", false_decodes(sums[i], {p}));
    }
}

void print_pocsag(const options &o, const char *what, const char *x_name, const std::vector<double> &xs,
                  const std::vector<point_sum> &sums) {
    std::printf("\n%s\n%8s", what, x_name);
    for (protocol p : {pocsag512, pocsag1200, pocsag2400})
        for (chain_kind c : two_level_chains)
            if (chain_runs(o, p, c)) {
                const std::string name = std::string(chain_names[c]) + " " + std::to_string(pocsag_rates[p]);
                std::printf(" %16s", name.c_str());
            }
    std::printf(" %7s\n", "false");
    for (std::size_t i = 0; i < xs.size(); ++i) {
        std::printf("%8g", xs[i]);
        for (protocol p : {pocsag512, pocsag1200, pocsag2400})
            for (chain_kind c : two_level_chains)
                if (chain_runs(o, p, c)) std::printf(" %16s", cell(percent(sums[i].total[p][c], 0)).c_str());
        std::printf(" %7ld\n", false_decodes(sums[i], {pocsag512, pocsag1200, pocsag2400}));
    }
}

void print_tables(const options &o, sweep s, const char *title, const char *x_name, const std::vector<double> &xs,
                  const std::vector<point_sum> &sums) {
    bool any = false;
    for (int p = 0; p < protocol_count; ++p) any = any || (o.use[p] && sweep_runs(s, static_cast<protocol>(p)));
    if (!any) return;
    std::printf("\n== %s ==\n", title);
    if (s == snr_sweep || s == ppm_sweep) {
        if (o.use[dmr])
            print_four_level(o, dmr, "DMR: superframes with the embedded LC / voice bursts bit-exact (%)", x_name,
                             xs, sums);
        if (o.use[ysf])
            print_four_level(o, ysf, "System Fusion: call signs / voice frames bit-exact (%)", x_name, xs, sums);
    }
    if (s != snr_sweep && (o.use[pocsag512] || o.use[pocsag1200] || o.use[pocsag2400]))
        print_pocsag(o, "POCSAG: pages received exactly (%), chain and bits/s", x_name, xs, sums);
    int failures = 0;
    for (const point_sum &p : sums) failures += p.failures;
    if (failures > 0) std::printf("%d chains did not end cleanly\n", failures);
}

// The figures of a sweep for plotting: per point x, then for each of the
// four-level chains DMR LC, DMR voice, YSF calls, YSF voice, then for each
// rate and two-level chain the pages, all in percent (nan where not run).
void write_block(FILE *f, const options &o, const std::vector<double> &xs, const std::vector<point_sum> &sums) {
    for (std::size_t i = 0; i < xs.size(); ++i) {
        std::fprintf(f, "%g", xs[i]);
        for (chain_kind c : four_level_chains)
            for (protocol p : {dmr, ysf})
                for (int k = 0; k < 2; ++k)
                    std::fprintf(f, " %g", chain_runs(o, p, c) ? percent(sums[i].total[p][c], k) : NAN);
        for (protocol p : {pocsag512, pocsag1200, pocsag2400})
            for (chain_kind c : two_level_chains)
                std::fprintf(f, " %g", chain_runs(o, p, c) ? percent(sums[i].total[p][c], 0) : NAN);
        std::fprintf(f, "\n");
    }
}

void write_data(const options &o, const std::vector<double> *const points[sweep_count],
                const std::vector<point_sum> sums[sweep_count]) {
    FILE *f = std::fopen(o.data_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", o.data_path.c_str());
        return;
    }
    const char *columns =
        "x; per chain quadslice, pulsesieve|quadslice, quadlock, dsdcc: dmr_lc dmr_voice ysf_calls ysf_voice; "
        "per rate 512, 1200, 2400: duoslice duolock multimon-ng pages (percent)";
    std::fprintf(f, "# decode success against SNR (dB); %d transmissions per point; %s\n", o.transmissions, columns);
    write_block(f, o, *points[snr_sweep], sums[snr_sweep]);
    std::fprintf(f, "\n\n# POCSAG decode success against SNR (dB); %s\n", columns);
    write_block(f, o, *points[pocsag_snr_sweep], sums[pocsag_snr_sweep]);
    std::fprintf(f, "\n\n# decode success against clock error (ppm) at %g dB; %s\n", o.ppm_snr, columns);
    write_block(f, o, o.ppm_points, sums[ppm_sweep]);
    std::fprintf(f, "\n\n# POCSAG clipped to a square wave, against clock error (ppm) at %g dB; %s\n", o.ppm_snr,
                 columns);
    write_block(f, o, o.ppm_points, sums[clip_sweep]);
    std::fclose(f);
}

[[noreturn]] void usage_exit() {
    std::fputs(usage_text, stderr);
    std::exit(2);
}

double number_argument(int &i, int argc, char **argv) {
    if (i + 1 >= argc) usage_exit();
    char *end = nullptr;
    const double v = std::strtod(argv[++i], &end);
    if (*end != 0 || !std::isfinite(v)) usage_exit();
    return v;
}

// A comma-separated list of numbers, such as "0,-100,100".
std::vector<double> number_list(const char *text) {
    std::vector<double> values;
    const char *at = text;
    for (;;) {
        char *end = nullptr;
        const double v = std::strtod(at, &end);
        if (end == at || !std::isfinite(v)) usage_exit();
        values.push_back(v);
        if (*end == 0) return values;
        if (*end != ',') usage_exit();
        at = end + 1;
    }
}

options parse_arguments(int argc, char **argv) {
    options o;
    if (argc < 2 || argv[1][0] == '-') usage_exit();
    o.bin = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-n")
            o.transmissions = static_cast<int>(number_argument(i, argc, argv));
        else if (a == "--quick") {
            o.transmissions = 5;
            o.snr_step = 4;
            o.pocsag_snr_step = 4;
            o.ppm_points = {-1000, 0, 1000};
        } else if (a == "--snr-step")
            o.snr_step = number_argument(i, argc, argv);
        else if (a == "--snr-from")
            o.snr_from = number_argument(i, argc, argv);
        else if (a == "--snr-to")
            o.snr_to = number_argument(i, argc, argv);
        else if (a == "--pocsag-snr-step")
            o.pocsag_snr_step = number_argument(i, argc, argv);
        else if (a == "--pocsag-snr-from")
            o.pocsag_snr_from = number_argument(i, argc, argv);
        else if (a == "--pocsag-snr-to")
            o.pocsag_snr_to = number_argument(i, argc, argv);
        else if (a == "--ppm-snr")
            o.ppm_snr = number_argument(i, argc, argv);
        else if (a == "--jobs")
            o.jobs = static_cast<int>(number_argument(i, argc, argv));
        else if (a == "--seed" && i + 1 < argc) {
            char *end = nullptr;
            o.seed = std::strtoull(argv[++i], &end, 10);
            if (*end != 0) usage_exit();
        } else if (a == "--verbose")
            o.verbose = true;
        else if (a == "--ppm" && i + 1 < argc)
            o.ppm_points = number_list(argv[++i]);
        else if (a == "--data" && i + 1 < argc)
            o.data_path = argv[++i];
        else if (a == "--only" && i + 1 < argc) {
            const std::string list = std::string(",") + argv[++i] + ",";
            for (int p = 0; p < protocol_count; ++p)
                o.use[p] = list.find(std::string(",") + protocol_names[p] + ",") != std::string::npos;
        } else
            usage_exit();
    }
    if (o.transmissions < 1 || o.snr_step <= 0 || o.snr_to < o.snr_from || o.pocsag_snr_step <= 0 ||
        o.pocsag_snr_to < o.pocsag_snr_from || o.jobs < 1 || o.jobs > 2)
        usage_exit();
    return o;
}

// Finds the anchors and says which are missing.
void find_anchors(options &o) {
    if (access((o.bin + "/dsdcc_anchor").c_str(), X_OK) == 0)
        o.dsdcc = o.bin + "/dsdcc_anchor";
    else
        std::printf("note: dsdcc anchor skipped (libdsdcc was not found when building dsdcc_anchor)\n");
    o.sox = find_program("sox");
    o.multimon = find_program("multimon-ng");
    if (o.sox.empty() || o.multimon.empty())
        std::printf("note: multimon-ng anchor skipped (%s not installed)\n", o.sox.empty() ? "sox" : "multimon-ng");
}

}  // namespace

int main(int argc, char **argv) {
    options o = parse_arguments(argc, argv);
    for (const char *program :
         {"airmint", "quadslice", "pulsesieve", "quadlock", "tessavox", "orbavox", "duoslice", "duolock", "pagewick"}) {
        if (access((o.bin + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "%s/%s: not built\n", o.bin.c_str(), program);
            return 1;
        }
    }
    find_anchors(o);
    std::vector<double> snrs, pocsag_snrs;
    for (int i = 0; o.snr_from + i * o.snr_step <= o.snr_to + 1e-9; ++i) snrs.push_back(o.snr_from + i * o.snr_step);
    for (int i = 0; o.pocsag_snr_from + i * o.pocsag_snr_step <= o.pocsag_snr_to + 1e-9; ++i)
        pocsag_snrs.push_back(o.pocsag_snr_from + i * o.pocsag_snr_step);
    const std::vector<double> *const points[sweep_count] = {&snrs, &pocsag_snrs, &o.ppm_points, &o.ppm_points};

    std::vector<work_item> items;
    for (int s = 0; s < sweep_count; ++s)
        for (int p = 0; p < protocol_count; ++p) {
            if (!sweep_runs(static_cast<sweep>(s), static_cast<protocol>(p))) continue;
            for (int c = 0; c < chain_count; ++c) {
                if (!chain_runs(o, static_cast<protocol>(p), static_cast<chain_kind>(c))) continue;
                for (std::size_t i = 0; i < points[s]->size(); ++i)
                    for (int n = 0; n < o.transmissions; ++n)
                        items.push_back({static_cast<sweep>(s), static_cast<int>(i), (*points[s])[i],
                                         static_cast<protocol>(p), static_cast<chain_kind>(c), n, {}});
            }
        }

    const double start = monotonic_seconds();
    std::atomic<std::size_t> next{0}, done{0};
    std::vector<std::thread> workers;
    bool dirs_ok = true;
    std::vector<std::string> dirs;
    for (int j = 0; j < o.jobs; ++j) {
        dirs.push_back(make_work_dir("zelvane-sensitivity-"));
        dirs_ok = dirs_ok && !dirs.back().empty();
    }
    if (!dirs_ok) {
        std::fprintf(stderr, "cannot make a work directory\n");
        return 1;
    }
    for (int j = 0; j < o.jobs; ++j) {
        workers.emplace_back([&, j] {
            for (std::size_t k; (k = next++) < items.size();) {
                items[k].result = run_item(o, items[k], dirs[static_cast<std::size_t>(j)]);
                if (o.verbose) report_item(items[k]);
                const std::size_t finished = ++done;
                if (finished % 500 == 0 || finished == items.size())
                    std::fprintf(stderr, "%zu of %zu transmissions received (%.0f s)\n", finished, items.size(),
                                 monotonic_seconds() - start);
            }
        });
    }
    for (std::thread &t : workers) t.join();
    for (const std::string &d : dirs) remove_work_dir(d);

    std::vector<point_sum> sums[sweep_count];
    for (int s = 0; s < sweep_count; ++s) sums[s].resize(points[s]->size());
    for (const work_item &w : items) {
        point_sum &p = sums[w.which][static_cast<std::size_t>(w.point)];
        add(p.total[w.proto][w.chain], w.result);
        if (!w.result.clean) ++p.failures;
    }

    std::printf("Decode success of generated transmissions (%d per point, protocol and chain, seed %llu, %.0f s)\n",
                o.transmissions, static_cast<unsigned long long>(o.seed), monotonic_seconds() - start);
    std::printf("SNR: mean level power over white-noise power per sample at 48000 samples/s; roll-off 0.2;\n");
    std::printf("each transmission starts at a random fraction of a symbol.\n");
    std::printf("DMR: group call of %d superframes; YSF: V/D mode 2, %d frames; POCSAG: 3 pages.\n", dmr_superframes,
                ysf_frames);
    std::printf("dsdcc: voice frames equal to its own without noise; its LC is not measured.\n");
    print_tables(o, snr_sweep, "Against SNR (clocks exact)", "SNR dB", snrs, sums[snr_sweep]);
    print_tables(o, pocsag_snr_sweep, "POCSAG against SNR (clocks exact)", "SNR dB", pocsag_snrs,
                 sums[pocsag_snr_sweep]);
    char title[128];
    std::snprintf(title, sizeof title, "Against receiver clock error (SNR %g dB)", o.ppm_snr);
    print_tables(o, ppm_sweep, title, "ppm", o.ppm_points, sums[ppm_sweep]);
    std::snprintf(title, sizeof title, "POCSAG hard limited to a square wave, against receiver clock error (SNR %g dB)",
                  o.ppm_snr);
    print_tables(o, clip_sweep, title, "ppm", o.ppm_points, sums[clip_sweep]);
    if (!o.data_path.empty()) write_data(o, points, sums);

    int failures = 0;
    for (const auto &sweep_sums : sums)
        for (const point_sum &p : sweep_sums) failures += p.failures;
    if (failures > 0) std::printf("\n%d chains did not end cleanly (a program crashed, failed or hung)\n", failures);
    return failures > 0 ? 1 : 0;
}
