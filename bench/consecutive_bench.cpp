// SPDX-License-Identifier: MIT
// Consecutive-transmission benchmark: how much of a second transmission the
// receiving chains recover when it follows a first one after a short gap, as
// a repeater's reply follows a call.
//
// Each trial is one baseband file at 48000 samples/s:
//   first transmission | receiver noise for the gap | second transmission
// both transmissions at the same SNR with their own noise, the gap plain
// Gaussian noise of the outer level's power (a discriminator without a
// carrier). The gap is the asked length plus 617 samples (61.7 symbols) per
// trial, so that the second transmission meets the receiver at a new symbol
// phase and a new burst or frame phase every time: eight trials spread over
// 90 ms, more than a DMR timeslot pair (60 ms) and most of a System Fusion
// frame (100 ms). It goes through the real
// programs joined by pipes:
//   DMR     quadslice | tessavox -f META > VOICE
//   YSF     quadslice | orbavox -f META > VOICE
// and the second transmission's figures are counted:
//   voice   its voice units received without a bit error, in order (DMR
//           bursts of three codec frames; System Fusion tagged records)
//   ids     trials with a metadata line giving its source and target
// The first transmission's voice is counted too, for comparison.
//
// Usage: consecutive_bench BIN_DIR [options]   (see usage_text below)

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "baseband.h"
#include "chain_pipeline.h"
#include "dmr_encode.h"
#include "dmr_signal.h"
#include "noise_source.h"
#include "ysf_encode.h"
#include "ysf_signal.h"

namespace {

const char usage_text[] =
    "Usage: consecutive_bench BIN_DIR [options]\n"
    "  -n N          trials per gap and protocol (default 8)\n"
    "  --gaps LIST   gaps in milliseconds, comma-separated (default 50,100,200,500,1000,2000)\n"
    "  --snr D       SNR of both transmissions in dB (default 20)\n"
    "  --seed N      seed of the noise (default 1)\n"
    "  --only NAME   dmr or ysf (default both)\n"
    "  --verbose     print each trial's figures\n";

struct options {
    std::string bin;
    int trials = 8;
    std::vector<int> gaps_ms = {50, 100, 200, 500, 1000, 2000};
    double snr = 20;
    uint64_t seed = 1;
    bool dmr = true, ysf = true;
    bool verbose = false;
};

[[noreturn]] void usage_exit() {
    std::fputs(usage_text, stderr);
    std::exit(2);
}

options parse_arguments(int argc, char **argv) {
    options o;
    if (argc < 2 || argv[1][0] == '-') usage_exit();
    o.bin = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "-n" && has_value) {
            o.trials = std::atoi(argv[++i]);
        } else if (a == "--gaps" && has_value) {
            o.gaps_ms.clear();
            for (char *p = argv[++i]; *p;) {
                char *end;
                const long v = std::strtol(p, &end, 10);
                if (end == p || v < 0) usage_exit();
                o.gaps_ms.push_back(static_cast<int>(v));
                p = *end == ',' ? end + 1 : end;
                if (*end && *end != ',') usage_exit();
            }
        } else if (a == "--snr" && has_value) {
            o.snr = std::strtod(argv[++i], nullptr);
        } else if (a == "--seed" && has_value) {
            o.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--only" && has_value) {
            const std::string p = argv[++i];
            o.dmr = p == "dmr";
            o.ysf = p == "ysf";
            if (!o.dmr && !o.ysf) usage_exit();
        } else if (a == "--verbose") {
            o.verbose = true;
        } else {
            usage_exit();
        }
    }
    if (o.trials < 1 || o.gaps_ms.empty()) usage_exit();
    return o;
}

// One transmission as the chain should see it: its symbol bytes, its voice
// units as they leave the decoder, and its source and target as the
// metadata shows them.
struct transmission {
    std::vector<uint8_t> symbols;
    std::vector<std::string> units;
    std::string source, target;
};

transmission dmr_transmission(int slot, uint32_t source, uint32_t target, uint32_t voice_base) {
    dmr_channel_plan plan;
    plan.call.slot = slot;
    plan.call.source = source;
    plan.call.target = target;
    plan.call.superframes = 2;
    for (uint32_t f = 0; f < 36; ++f) plan.call.voice.push_back(dmr_encode::test_pattern_frame(voice_base + f));
    transmission t;
    t.symbols = dmr_channel_symbols(plan);
    const std::vector<dmr_encode::codec_frame> frames = dmr_sent_frames(plan.call);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        if (f % 3 == 0) t.units.emplace_back();
        t.units.back().append(reinterpret_cast<const char *>(frames[f].data()), frames[f].size());
    }
    t.source = std::to_string(source);
    t.target = std::to_string(target);
    return t;
}

transmission ysf_transmission(const char *source, const char *target, int voice_base) {
    ysf_encode::transmission_plan plan;
    plan.calls.source = ysf_encode::call_sign(source);
    plan.calls.target = ysf_encode::call_sign(target);
    plan.communication_frames = 16;
    const int frame_size = 7;
    for (int f = 0; f < 16 * 5; ++f) {
        uint8_t frame[7];
        ysf_encode::test_voice_frame(ysf_encode::fich_dt_vd_mode2, voice_base + f, frame);
        plan.voice.insert(plan.voice.end(), frame, frame + frame_size);
    }
    transmission t;
    ysf_encode::transmission built;
    if (!ysf_stream_symbols(plan, t.symbols, &built)) {
        std::fprintf(stderr, "the System Fusion encoder refused the transmission\n");
        std::exit(1);
    }
    const std::size_t record = 1 + frame_size;
    for (std::size_t at = 0; at + record <= built.voice_records.size(); at += record)
        t.units.emplace_back(reinterpret_cast<const char *>(built.voice_records.data() + at), record);
    t.source = std::string(source) + std::string(10 - std::strlen(source), ' ');
    t.target = std::string(target) + std::string(10 - std::strlen(target), ' ');
    return t;
}

void append_baseband(std::vector<float> &out, const std::vector<uint8_t> &symbols, double snr, uint64_t seed) {
    channel_settings channel;
    channel.noisy = true;
    channel.snr_db = snr;
    channel.seed = seed;
    baseband_writer writer;
    start_four_level(writer, symbols, channel);
    float block[4096];
    for (int n; (n = next_samples(writer, block, 4096)) > 0;) out.insert(out.end(), block, block + n);
}

void append_noise(std::vector<float> &out, long samples, uint64_t seed) {
    noise_source noise;
    seed_noise(noise, seed);
    for (long i = 0; i < samples; ++i) out.push_back(static_cast<float>(next_gaussian(noise)));
}

// The transmission's voice units that arrived whole, in order.
long voice_received(const std::string &voice, const transmission &t) {
    return t.units.empty() ? 0 : units_in_order(voice, t.units, t.units[0].size());
}

// A line telling the transmission's source and target.
bool ids_reported(const std::string &metadata, const transmission &t) {
    std::size_t start = 0;
    for (std::size_t end; (end = metadata.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = metadata.substr(start, end - start);
        std::string source, target;
        if (field(line, "source", source) && field(line, "target", target) && source == t.source &&
            target == t.target)
            return true;
    }
    return false;
}

struct figures {
    long first_voice = 0, first_sent = 0;
    long second_voice = 0, second_sent = 0;
    int second_ids = 0, trials = 0;
    bool clean = true;
};

// Samples added to the gap per trial.
constexpr long phase_step = 617;

// One trial: adds its figures to sum.
void run_trial(const options &o, bool dmr, int gap_ms, int trial, const std::string &dir, figures &sum) {
    const uint64_t seed = o.seed * 1000003u + static_cast<uint64_t>(gap_ms) * 1009u + static_cast<uint64_t>(trial) * 7u +
                          (dmr ? 0u : 500000u);
    // The reply comes in either slot, from another station to another group.
    const transmission first = dmr ? dmr_transmission(0, 2001, 9, 100000)
                                   : ysf_transmission("DL1ABC", "ALL", 100000);
    const transmission second = dmr ? dmr_transmission(trial % 2, 3002, 77, 200000)
                                    : ysf_transmission("PA3XYZ", "CQ", 200000);
    std::vector<float> baseband;
    append_baseband(baseband, first.symbols, o.snr, seed);
    append_noise(baseband, static_cast<long>(gap_ms) * 48 + phase_step * trial, seed + 1);
    append_baseband(baseband, second.symbols, o.snr, seed + 2);

    const std::string input = dir + "/baseband", meta = dir + "/meta", out = dir + "/voice";
    if (!write_file(input, std::string(reinterpret_cast<const char *>(baseband.data()), baseband.size() * sizeof(float)))) {
        sum.clean = false;
        return;
    }
    const std::string decoder = o.bin + (dmr ? "/tessavox" : "/orbavox");
    const std::vector<chain_stage> chain = {{o.bin + "/quadslice"}, {decoder, "-f", meta}};
    const chain_run run = run_chain(chain, input, out, "", 120);
    const std::string voice = read_whole_file(out);
    const std::string metadata = read_whole_file(meta);
    const long first_voice = voice_received(voice, first);
    const long second_voice = voice_received(voice, second);
    const bool ids = ids_reported(metadata, second);
    sum.first_voice += first_voice;
    sum.first_sent += static_cast<long>(first.units.size());
    sum.second_voice += second_voice;
    sum.second_sent += static_cast<long>(second.units.size());
    sum.second_ids += ids ? 1 : 0;
    sum.trials += 1;
    sum.clean = sum.clean && run.clean;
    if (o.verbose)
        std::printf("  %s gap %d ms + %d samples: first %ld/%zu, second %ld/%zu, ids %s%s\n", dmr ? "DMR" : "YSF",
                    gap_ms, static_cast<int>(phase_step * trial), first_voice, first.units.size(), second_voice, second.units.size(),
                    ids ? "yes" : "no", run.clean ? "" : " (chain failed)");
}

}  // namespace

int main(int argc, char **argv) {
    const options o = parse_arguments(argc, argv);
    const std::string dir = make_work_dir("consecutive");
    if (dir.empty()) {
        std::fprintf(stderr, "cannot make a work directory\n");
        return 1;
    }
    std::printf("Consecutive transmissions at %g dB SNR, %d trials per gap (gap + %ld samples per trial)\n", o.snr,
                o.trials, phase_step);
    std::printf("%-9s %8s  %-18s %-18s %-10s\n", "protocol", "gap ms", "first voice", "second voice", "second ids");
    bool clean = true;
    bool all_second = true;
    for (int p = 0; p < 2; ++p) {
        const bool dmr = p == 0;
        if ((dmr && !o.dmr) || (!dmr && !o.ysf)) continue;
        for (int gap : o.gaps_ms) {
            figures sum;
            for (int t = 0; t < o.trials; ++t) run_trial(o, dmr, gap, t, dir, sum);
            char first[32], second[32], ids[32];
            std::snprintf(first, sizeof first, "%ld/%ld", sum.first_voice, sum.first_sent);
            std::snprintf(second, sizeof second, "%ld/%ld %5.1f%%", sum.second_voice, sum.second_sent,
                          sum.second_sent ? 100.0 * static_cast<double>(sum.second_voice) /
                                                static_cast<double>(sum.second_sent)
                                          : 0.0);
            std::snprintf(ids, sizeof ids, "%d/%d", sum.second_ids, sum.trials);
            std::printf("%-9s %8d  %-18s %-18s %-10s%s\n", dmr ? "DMR" : "YSF", gap, first, second, ids,
                        sum.clean ? "" : "  (a chain failed)");
            std::fflush(stdout);
            clean = clean && sum.clean;
            all_second = all_second && sum.second_voice == sum.second_sent && sum.second_ids == sum.trials;
        }
    }
    remove_work_dir(dir);
    std::printf("second transmission complete in every trial: %s\n", all_second ? "yes" : "no");
    return clean ? 0 : 1;
}
