// SPDX-License-Identifier: MIT
#include "rrc_filter.h"

#include <cstring>

#include "single_precision.h"

namespace {

// Taps 0 to 40 of the pulse; taps 41 to 80 mirror them. Each value is the
// shortest decimal that rounds to the stored float.
constexpr float rrc_half_taps[rrc_tap_count / 2 + 1] = {
    -0.012165512f, -0.0073998324f, 0.000082007f,  0.009031435f,  0.017688567f,  0.0240832f,   0.026417779f,
    0.023465073f,  0.014903039f,   0.0015129698f, -0.014814646f, -0.031291407f, -0.04464568f, -0.051686917f,
    -0.049931873f, -0.038183436f,  -0.016949408f, 0.011395215f,  0.04276359f,   0.071841605f, 0.09285705f,
    0.100534886f,  0.09109832f,    0.063153334f,  0.018297995f,  -0.038672276f, -0.10003861f, -0.15591714f,
    -0.19543134f,  -0.20815781f,   -0.18565224f,  -0.12283696f,  -0.019037703f, 0.12150324f,  0.28974274f,
    0.4726006f,    0.6542974f,     0.8181079f,    0.94830656f,   1.0320491f,    1.0609366f,
};

constexpr std::array<float, rrc_tap_count> mirror_taps() {
    std::array<float, rrc_tap_count> taps{};
    for (int k = 0; k <= rrc_tap_count / 2; ++k) {
        taps[static_cast<std::size_t>(k)] = rrc_half_taps[k];
        taps[static_cast<std::size_t>(rrc_tap_count - 1 - k)] = rrc_half_taps[k];
    }
    return taps;
}

// Sums of the rrc_lane_group outputs whose oldest inputs are line[first]
// onward, in vectors of type V. Each lane runs the tap loop for its own output
// in tap order, one rounded product and one rounded sum per tap, as the plain
// loop does; the group's accumulators stay in registers.
template <typename V>
[[gnu::always_inline]] inline void sum_lanes(const float *line, std::size_t first, float *sums) {
    constexpr std::size_t width = sizeof(V) / sizeof(float);
    constexpr std::size_t vectors = rrc_lane_group / width;
    static_assert(rrc_lane_group % width == 0);
    V acc[vectors] = {};
    const float *base = line + first;
    for (int k = 0; k < rrc_tap_count; ++k) {
        const float c = rrc_taps[static_cast<std::size_t>(k)];
        V tap;
        for (std::size_t i = 0; i < width; ++i) tap[i] = c;
        const float *h = base + k;
#pragma GCC unroll 8
        for (std::size_t v = 0; v < vectors; ++v) {
            V x;
            std::memcpy(&x, h + v * width, sizeof x);
            acc[v] = tap * x + acc[v];
        }
    }
#pragma GCC unroll 8
    for (std::size_t v = 0; v < vectors; ++v) std::memcpy(sums + v * width, &acc[v], sizeof acc[v]);
}

// Four lanes: the width of every x86-64 and AArch64 processor.
typedef float narrow_lanes __attribute__((vector_size(16)));
void sum_narrow(const float *line, std::size_t first, float *sums) { sum_lanes<narrow_lanes>(line, first, sums); }

#if defined(__x86_64__)
// Eight lanes, for processors with AVX; the same operations, twice as wide.
typedef float wide_lanes __attribute__((vector_size(32)));
__attribute__((target("avx"))) void sum_wide(const float *line, std::size_t first, float *sums) {
    sum_lanes<wide_lanes>(line, first, sums);
}
#else
void sum_wide(const float *line, std::size_t first, float *sums) { sum_narrow(line, first, sums); }
#endif

static_assert(rrc_chunk % rrc_lane_group == 0);

// Filters up to rrc_chunk samples. Groups are formed whole; the outputs of the
// last group past count read stale working space and are thrown away.
void filter_chunk(rrc_state &state, float *block, std::size_t count, rrc_lanes lanes) {
    constexpr std::size_t history = rrc_tap_count - 1;
    float *line = state.line;
    std::memcpy(line + history, block, count * sizeof(float));
    float sums[rrc_lane_group];
    for (std::size_t first = 0; first < count; first += rrc_lane_group) {
        if (lanes == rrc_lanes::wide)
            sum_wide(line, first, sums);
        else
            sum_narrow(line, first, sums);
        const std::size_t n = count - first < rrc_lane_group ? count - first : rrc_lane_group;
        for (std::size_t i = 0; i < n; ++i)
            block[first + i] = static_cast<float>(static_cast<double>(sums[i]) / rrc_normaliser);
    }
    std::memmove(line, line + count, history * sizeof(float));
}

}  // namespace

const std::array<float, rrc_tap_count> rrc_taps = mirror_taps();

bool rrc_wide_lanes_available() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

void rrc_filter_with(rrc_state &state, float *block, std::size_t count, rrc_lanes lanes) {
    if (!rrc_wide_lanes_available()) lanes = rrc_lanes::narrow;
    while (count > 0) {
        const std::size_t n = count < rrc_chunk ? count : rrc_chunk;
        filter_chunk(state, block, n, lanes);
        block += n;
        count -= n;
    }
}

void rrc_filter(rrc_state &state, float *block, std::size_t count) {
    rrc_filter_with(state, block, count, rrc_wide_lanes_available() ? rrc_lanes::wide : rrc_lanes::narrow);
}
