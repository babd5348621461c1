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

// Eight single-precision lanes; on hardware with narrower vectors the compiler
// splits each operation, lane by lane, so the arithmetic stays the same.
typedef float lanes __attribute__((vector_size(32)));
constexpr std::size_t lane_count = sizeof(lanes) / sizeof(float);
static_assert(rrc_lane_group % (4 * lane_count) == 0);
static_assert(rrc_chunk % rrc_lane_group == 0);

// Sums of the rrc_lane_group outputs whose newest inputs are line[first + 80]
// onward. Each lane runs the tap loop for its own output in tap order, one
// rounded product and one rounded sum per tap, as the plain loop does.
void sum_lane_group(const float *line, std::size_t first, float *sums) {
    lanes acc0 = {}, acc1 = {}, acc2 = {}, acc3 = {};
    const float *base = line + first;
    for (int k = 0; k < rrc_tap_count; ++k) {
        const float c = rrc_taps[static_cast<std::size_t>(k)];
        const lanes tap = {c, c, c, c, c, c, c, c};
        lanes h0, h1, h2, h3;
        std::memcpy(&h0, base + k, sizeof h0);
        std::memcpy(&h1, base + k + lane_count, sizeof h1);
        std::memcpy(&h2, base + k + 2 * lane_count, sizeof h2);
        std::memcpy(&h3, base + k + 3 * lane_count, sizeof h3);
        acc0 = tap * h0 + acc0;
        acc1 = tap * h1 + acc1;
        acc2 = tap * h2 + acc2;
        acc3 = tap * h3 + acc3;
    }
    std::memcpy(sums, &acc0, sizeof acc0);
    std::memcpy(sums + lane_count, &acc1, sizeof acc1);
    std::memcpy(sums + 2 * lane_count, &acc2, sizeof acc2);
    std::memcpy(sums + 3 * lane_count, &acc3, sizeof acc3);
}

// Filters up to rrc_chunk samples. Groups are formed whole; the outputs of the
// last group past count read stale working space and are thrown away.
void filter_chunk(rrc_state &state, float *block, std::size_t count) {
    constexpr std::size_t history = rrc_tap_count - 1;
    float *line = state.line;
    std::memcpy(line + history, block, count * sizeof(float));
    float sums[rrc_lane_group];
    for (std::size_t first = 0; first < count; first += rrc_lane_group) {
        sum_lane_group(line, first, sums);
        const std::size_t n = count - first < rrc_lane_group ? count - first : rrc_lane_group;
        for (std::size_t i = 0; i < n; ++i)
            block[first + i] = static_cast<float>(static_cast<double>(sums[i]) / rrc_normaliser);
    }
    std::memmove(line, line + count, history * sizeof(float));
}

}  // namespace

const std::array<float, rrc_tap_count> rrc_taps = mirror_taps();

void rrc_filter(rrc_state &state, float *block, std::size_t count) {
    while (count > 0) {
        const std::size_t n = count < rrc_chunk ? count : rrc_chunk;
        filter_chunk(state, block, n);
        block += n;
        count -= n;
    }
}
