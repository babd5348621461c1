// Sensitivity benchmark: how much of a transmission the receiving chains
// recover as the signal gets weaker or the receiver's clock runs off.
//
// Every transmission is made by airmint and received by the real programs
// joined by pipes:
//   DMR     airmint | quadslice | tessavox -f META > VOICE
//   YSF     airmint -p ysf | quadslice | orbavox -f META > VOICE
//   POCSAG  airmint -p pocsag | duoslice -i | pagewick > PAGES
// and what came out is compared with what was sent:
//   DMR LC      superframes whose embedded link control gave a metadata line
//               with the sent source and talk group
//   DMR voice   voice bursts (36-byte units) received without a bit error
//   YSF calls   transmissions whose source and target call signs were
//               reported correctly on some metadata line
//   YSF voice   tagged codec frame records received without a bit error
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
#include "dmr_encode.h"
#include "ysf_encode.h"

namespace {

const char usage_text[] =
    "Usage: sensitivity_bench BIN_DIR [options]\n"
    "  -n N          transmissions per point and protocol (default 50)\n"
    "  --quick       10 transmissions per point, SNR in 4 dB steps, fewer clock errors\n"
    "  --snr-from D, --snr-to D, --snr-step D\n"
    "                SNR sweep in dB (default 0 to 30 in steps of 2)\n"
    "  --ppm LIST    clock errors in ppm, comma-separated (default 0,50,100,200,300,400,500)\n"
    "  --ppm-snr D   SNR of the clock-error sweep (default 20)\n"
    "  --jobs N      chains run at once, 1 or 2 (default 2)\n"
    "  --seed N      seed of contents and noise (default 1)\n"
    "  --only LIST   protocols, comma-separated: dmr,ysf,pocsag (default all)\n"
    "  --data FILE   write the figures for plotting to FILE\n"
    "  --verbose     print each false decode and each chain that failed, with its command\n";

enum protocol { dmr, ysf, pocsag, protocol_count };
const char *const protocol_names[protocol_count] = {"dmr", "ysf", "pocsag"};

enum sweep { snr_sweep, ppm_sweep };

struct options {
    std::string bin;
    int transmissions = 50;
    double snr_from = 0, snr_to = 30, snr_step = 2;
    double ppm_snr = 20;
    std::vector<double> ppm_points = {0, 50, 100, 200, 300, 400, 500};
    int jobs = 2;
    uint64_t seed = 1;
    bool use[protocol_count] = {true, true, true};
    std::string data_path;
    bool verbose = false;
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
    int index;  // transmission number within the point
    outcome result;
};

std::string format_number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The channel options of airmint for a work item.
std::vector<std::string> channel_args(const options &o, const work_item &w) {
    const double snr = w.which == snr_sweep ? w.x : o.ppm_snr;
    const double ppm = w.which == ppm_sweep ? w.x : 0;
    const uint64_t noise_seed = mix_seed(o.seed, static_cast<uint64_t>(w.proto) + 1,
                                         static_cast<uint64_t>(w.which) * 1000 + static_cast<uint64_t>(w.point),
                                         static_cast<uint64_t>(w.index)) >>
                                2;
    std::vector<std::string> args = {"--snr", format_number(snr), "--seed", std::to_string(noise_seed)};
    if (ppm != 0) {
        args.push_back("--ppm");
        args.push_back(format_number(ppm));
    }
    return args;
}

// A transmission's content depends on its protocol and number only, so the
// same transmissions meet every SNR and clock error.
rng content_rng(const options &o, const work_item &w) {
    return rng{mix_seed(o.seed, 77, static_cast<uint64_t>(w.proto), static_cast<uint64_t>(w.index))};
}

bool write_file(const std::string &path, const std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
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

// The value of "key:" in a metadata line ("key:value;"), or false.
bool field(const std::string &line, const std::string &key, std::string &value) {
    std::size_t at = 0;
    while ((at = line.find(key + ":", at)) != std::string::npos) {
        if (at == 0 || line[at - 1] == ';') {
            const std::size_t from = at + key.size() + 1;
            const std::size_t end = line.find(';', from);
            value = line.substr(from, end == std::string::npos ? std::string::npos : end - from);
            return true;
        }
        at += key.size();
    }
    return false;
}

// Counts the received units that match sent units in order: each sent unit
// is taken at most once and only after the one matched before it, so a
// burst dropped or received with errors costs exactly that burst.
long units_in_order(const std::string &received, const std::vector<std::string> &sent, std::size_t unit) {
    std::map<std::string, std::size_t> where;
    for (std::size_t i = 0; i < sent.size(); ++i) where.emplace(sent[i], i);
    long matched = 0;
    std::size_t next = 0;
    for (std::size_t at = 0; at + unit <= received.size(); at += unit) {
        auto found = where.find(received.substr(at, unit));
        if (found != where.end() && found->second >= next) {
            ++matched;
            next = found->second + 1;
        }
    }
    return matched;
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
    std::vector<std::string> airmint = {o.bin + "/airmint",
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
    for (const std::string &a : channel_args(o, w)) airmint.push_back(a);
    const std::vector<chain_stage> chain = {airmint, {o.bin + "/quadslice"}, {o.bin + "/tessavox", "-f", meta_path}};
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
        const bool has_call = field(line, "source", source_text) | field(line, "target", target_text);
        field(line, "type", type);
        if (has_call) {
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
    std::vector<std::string> airmint = {
        o.bin + "/airmint",         "-p",      "ysf",     "--source", source, "-t", target, "--frames",
        std::to_string(ysf_frames), "--voice", voice_path};
    for (const std::string &a : channel_args(o, w)) airmint.push_back(a);
    const std::vector<chain_stage> chain = {airmint, {o.bin + "/quadslice"}, {o.bin + "/orbavox", "-f", meta_path}};
    const chain_run run = run_chain(chain, "", out_path, "", 120);
    result.clean = run.clean;
    result.command = chain_text(chain, "", out_path);

    const std::string want_source = padded_call_sign(source), want_target = padded_call_sign(target);
    bool calls = false;
    for (const std::string &line : split_lines(read_whole_file(meta_path))) {
        std::string got_source, got_target;
        const bool has_source = field(line, "source", got_source), has_target = field(line, "target", got_target);
        if ((has_source && got_source != want_source) || (has_target && got_target != want_target)) {
            ++result.wrong;
            result.false_lines.push_back(line);
        }
        if (has_source && has_target && got_source == want_source && got_target == want_target) calls = true;
    }
    result.got[0] = calls ? 1 : 0;
    result.sent[0] = 1;
    result.got[1] = units_in_order(read_whole_file(out_path), records, 1 + frame_size);
    result.sent[1] = static_cast<long>(records.size());
    return result;
}

// ---- POCSAG: three pages, two alphanumeric and one numeric ----

std::string random_text(rng &r, int length) {
    const char characters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?-+/()";
    std::string text;
    for (int i = 0; i < length; ++i) text += characters[r.below(sizeof characters - 1)];
    return text;
}

outcome run_pocsag(const options &o, const work_item &w, const std::string &dir) {
    rng r = content_rng(o, w);
    std::vector<std::string> airmint = {o.bin + "/airmint", "-p", "pocsag"};
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
    const std::vector<chain_stage> chain = {airmint, {o.bin + "/duoslice", "-i"}, {o.bin + "/pagewick"}};
    const chain_run run = run_chain(chain, "", out_path, "", 120);
    outcome result;
    result.clean = run.clean;
    result.command = chain_text(chain, "", out_path);
    std::vector<bool> taken(expected.size(), false);
    for (const std::string &line : split_lines(read_whole_file(out_path))) {
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

// ---- Sums per point and the table ----

struct point_sum {
    outcome total[protocol_count];
    int failures[protocol_count] = {0, 0, 0};
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

// The five measures of a point in column order.
void measures(const options &o, const point_sum &p, double out[5]) {
    out[0] = o.use[dmr] ? percent(p.total[dmr], 0) : NAN;
    out[1] = o.use[dmr] ? percent(p.total[dmr], 1) : NAN;
    out[2] = o.use[ysf] ? percent(p.total[ysf], 0) : NAN;
    out[3] = o.use[ysf] ? percent(p.total[ysf], 1) : NAN;
    out[4] = o.use[pocsag] ? percent(p.total[pocsag], 0) : NAN;
}

void print_cell(double v) {
    if (std::isnan(v))
        std::printf(" %9s", "-");
    else
        std::printf(" %8.1f%%", v);
}

void print_table(const options &o, const char *title, const char *x_name, const std::vector<double> &xs,
                 const std::vector<point_sum> &sums) {
    std::printf("\n%s\n", title);
    std::printf("%8s %9s %9s %9s %9s %9s   %-14s %s\n", x_name, "DMR LC", "DMR voice", "YSF calls", "YSF voice",
                "POCSAG", "false d/y/p", "chain failures");
    for (std::size_t i = 0; i < xs.size(); ++i) {
        double m[5];
        measures(o, sums[i], m);
        std::printf("%8g", xs[i]);
        for (double v : m) print_cell(v);
        char wrong[48];
        std::snprintf(wrong, sizeof wrong, "%ld/%ld/%ld", sums[i].total[dmr].wrong, sums[i].total[ysf].wrong,
                      sums[i].total[pocsag].wrong);
        std::printf("   %-14s %d\n", wrong, sums[i].failures[dmr] + sums[i].failures[ysf] + sums[i].failures[pocsag]);
    }
}

void write_data(const options &o, const std::vector<double> &snrs, const std::vector<point_sum> &snr_sums,
                const std::vector<point_sum> &ppm_sums) {
    FILE *f = std::fopen(o.data_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", o.data_path.c_str());
        return;
    }
    const char *columns = "dmr_lc dmr_voice ysf_calls ysf_voice pocsag_pages (percent)";
    std::fprintf(f, "# decode success against SNR (dB); %d transmissions per point; %s\n", o.transmissions, columns);
    for (std::size_t i = 0; i < snrs.size(); ++i) {
        double m[5];
        measures(o, snr_sums[i], m);
        std::fprintf(f, "%g %g %g %g %g %g\n", snrs[i], m[0], m[1], m[2], m[3], m[4]);
    }
    std::fprintf(f, "\n\n# decode success against clock error (ppm) at %g dB; %s\n", o.ppm_snr, columns);
    for (std::size_t i = 0; i < o.ppm_points.size(); ++i) {
        double m[5];
        measures(o, ppm_sums[i], m);
        std::fprintf(f, "%g %g %g %g %g %g\n", o.ppm_points[i], m[0], m[1], m[2], m[3], m[4]);
    }
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
            o.transmissions = 10;
            o.snr_step = 4;
            o.ppm_points = {0, 100, 300, 500};
        } else if (a == "--snr-step")
            o.snr_step = number_argument(i, argc, argv);
        else if (a == "--snr-from")
            o.snr_from = number_argument(i, argc, argv);
        else if (a == "--snr-to")
            o.snr_to = number_argument(i, argc, argv);
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
    if (o.transmissions < 1 || o.snr_step <= 0 || o.snr_to < o.snr_from || o.jobs < 1 || o.jobs > 2) usage_exit();
    return o;
}

}  // namespace

int main(int argc, char **argv) {
    const options o = parse_arguments(argc, argv);
    for (const char *program : {"airmint", "quadslice", "tessavox", "orbavox", "duoslice", "pagewick"}) {
        if (access((o.bin + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "%s/%s: not built\n", o.bin.c_str(), program);
            return 1;
        }
    }
    std::vector<double> snrs;
    for (int i = 0; o.snr_from + i * o.snr_step <= o.snr_to + 1e-9; ++i) snrs.push_back(o.snr_from + i * o.snr_step);

    std::vector<work_item> items;
    for (int p = 0; p < protocol_count; ++p) {
        if (!o.use[p]) continue;
        for (std::size_t i = 0; i < snrs.size(); ++i)
            for (int n = 0; n < o.transmissions; ++n)
                items.push_back({snr_sweep, static_cast<int>(i), snrs[i], static_cast<protocol>(p), n, {}});
        for (std::size_t i = 0; i < o.ppm_points.size(); ++i)
            for (int n = 0; n < o.transmissions; ++n)
                items.push_back({ppm_sweep, static_cast<int>(i), o.ppm_points[i], static_cast<protocol>(p), n, {}});
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
                if (finished % 200 == 0 || finished == items.size())
                    std::fprintf(stderr, "%zu of %zu transmissions received (%.0f s)\n", finished, items.size(),
                                 monotonic_seconds() - start);
            }
        });
    }
    for (std::thread &t : workers) t.join();
    for (const std::string &d : dirs) remove_work_dir(d);

    std::vector<point_sum> snr_sums(snrs.size()), ppm_sums(o.ppm_points.size());
    for (const work_item &w : items) {
        point_sum &p = (w.which == snr_sweep ? snr_sums : ppm_sums)[static_cast<std::size_t>(w.point)];
        add(p.total[w.proto], w.result);
        if (!w.result.clean) ++p.failures[w.proto];
    }

    std::printf("Decode success of generated transmissions (%d per point and protocol, seed %llu, %.0f s)\n",
                o.transmissions, static_cast<unsigned long long>(o.seed), monotonic_seconds() - start);
    std::printf("SNR: mean level power over white-noise power per sample at 48000 samples/s.\n");
    std::printf("DMR: group call of %d superframes; YSF: V/D mode 2, %d frames; POCSAG: 3 pages.\n", dmr_superframes,
                ysf_frames);
    print_table(o, "Against SNR (clock exact)", "SNR dB", snrs, snr_sums);
    char title[96];
    std::snprintf(title, sizeof title, "Against receiver clock error (SNR %g dB)", o.ppm_snr);
    print_table(o, title, "ppm", o.ppm_points, ppm_sums);
    if (!o.data_path.empty()) write_data(o, snrs, snr_sums, ppm_sums);

    int failures = 0;
    for (const auto &sums : {snr_sums, ppm_sums})
        for (const point_sum &p : sums) failures += p.failures[dmr] + p.failures[ysf] + p.failures[pocsag];
    if (failures > 0) std::printf("\n%d chains did not end cleanly (a program crashed, failed or hung)\n", failures);
    return failures > 0 ? 1 : 0;
}
