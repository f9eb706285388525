// Speed of the reconstruction kernels (transform, block stores, intra
// prediction, loop-filter edges) at each processor level, so that a variant's gain is a number.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"

namespace {

using avs::KernelTable;

KernelTable TableFor(uint32_t features) {
    KernelTable t{};
    avs::FillKernelTable(t, features | avs::cpu::kAlways);
    return t;
}

void BM_DequantIdct(benchmark::State& state, uint32_t features) {
    const KernelTable t = TableFor(features);
    std::mt19937 rng(1);
    int16_t source[64] = {};
    for (int i = 0; i < 10; ++i) source[rng() % 16] = static_cast<int16_t>(rng() % 64 - 32);
    int16_t block[64];
    for (auto _ : state) {
        std::copy(source, source + 64, block);
        t.DequantIdct(block, 30);
        benchmark::DoNotOptimize(block);
    }
}

void BM_StoreLumaBlock(benchmark::State& state, uint32_t features) {
    const KernelTable t = TableFor(features);
    std::vector<uint8_t> plane(64 * 16);
    uint8_t pred[64];
    int16_t residual[64];
    for (int i = 0; i < 64; ++i) {
        pred[i] = static_cast<uint8_t>(i * 3);
        residual[i] = static_cast<int16_t>(i - 32);
    }
    for (auto _ : state) {
        t.StoreLumaBlock(plane.data() + 8, 64, pred, residual);
        benchmark::ClobberMemory();
    }
}

// Intra prediction of one block with every neighbour, in the given mode.
void BM_PredictIntraLuma(benchmark::State& state, uint32_t features, int mode) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 64;
    std::mt19937 rng(4);
    std::vector<uint8_t> plane(kPitch * 48);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(rng());
    uint8_t pred[64];
    for (auto _ : state) {
        t.PredictIntraLuma(plane.data() + 16 * kPitch + 16, kPitch, mode, {true, true, true, true},
                           pred);
        benchmark::DoNotOptimize(pred);
    }
}

void BM_PredictIntraChroma(benchmark::State& state, uint32_t features, int mode) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 64;
    std::mt19937 rng(5);
    std::vector<uint8_t> plane(kPitch * 48);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(rng());
    uint8_t pred[64];
    for (auto _ : state) {
        t.PredictIntraChroma(plane.data() + 16 * kPitch + 16, kPitch, mode, {true, true, true},
                             pred);
        benchmark::DoNotOptimize(pred);
    }
}

// One macroblock's edges, all strong (as in I pictures) or all normal.
void BM_LumaMacroblock(benchmark::State& state, uint32_t features, uint8_t strength) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 64;
    std::mt19937 rng(2);
    std::vector<uint8_t> plane(kPitch * 48);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(100 + rng() % 6);
    const avs::MacroblockEdgeThresholds th = {{39, 11, 3}, {39, 11, 3}, {39, 11, 3}};
    const uint8_t s = strength;
    const avs::MacroblockEdgeStrengths bs = {{s, s}, {s, s}, {s, s}, {s, s}};
    uint8_t* mb = plane.data() + 16 * kPitch + 16;
    for (auto _ : state) {
        t.FilterLumaMacroblock(mb, kPitch, bs, th);
        benchmark::ClobberMemory();
    }
}

void BM_ChromaMacroblock(benchmark::State& state, uint32_t features, uint8_t strength) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 32;
    std::mt19937 rng(3);
    std::vector<uint8_t> plane(2 * kPitch * 24);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(100 + rng() % 6);
    const avs::MacroblockEdgeThresholds th = {{39, 11, 3}, {39, 11, 3}, {39, 11, 3}};
    const uint8_t s = strength;
    const avs::MacroblockEdgeStrengths bs = {{s, s}, {s, s}, {s, s}, {s, s}};
    uint8_t* cb = plane.data() + 8 * kPitch + 8;
    uint8_t* cr = cb + 24 * kPitch;
    for (auto _ : state) {
        t.FilterChromaMacroblock(cb, cr, kPitch, bs, th);
        benchmark::ClobberMemory();
    }
}

constexpr uint32_t kPlain = 0;
constexpr uint32_t kSse2 = avs::cpu::kSse2;
constexpr uint32_t kSse41 = avs::cpu::kSse2 | avs::cpu::kSse41;
constexpr uint32_t kAvx2 = avs::cpu::kSse2 | avs::cpu::kSse41 | avs::cpu::kAvx2;

BENCHMARK_CAPTURE(BM_DequantIdct, plain, kPlain);
BENCHMARK_CAPTURE(BM_DequantIdct, sse2, kSse2);
BENCHMARK_CAPTURE(BM_DequantIdct, avx2, kAvx2);
BENCHMARK_CAPTURE(BM_StoreLumaBlock, plain, kPlain);
BENCHMARK_CAPTURE(BM_StoreLumaBlock, sse2, kSse2);
BENCHMARK_CAPTURE(BM_PredictIntraLuma, dc_plain, kPlain, avs::kLumaDc);
BENCHMARK_CAPTURE(BM_PredictIntraLuma, dc_sse41, kSse41, avs::kLumaDc);
BENCHMARK_CAPTURE(BM_PredictIntraLuma, down_left_plain, kPlain, avs::kLumaDownLeft);
BENCHMARK_CAPTURE(BM_PredictIntraLuma, down_left_sse41, kSse41, avs::kLumaDownLeft);
BENCHMARK_CAPTURE(BM_PredictIntraChroma, dc_plain, kPlain, avs::kChromaDc);
BENCHMARK_CAPTURE(BM_PredictIntraChroma, dc_sse41, kSse41, avs::kChromaDc);
BENCHMARK_CAPTURE(BM_PredictIntraChroma, plane_plain, kPlain, avs::kChromaPlane);
BENCHMARK_CAPTURE(BM_PredictIntraChroma, plane_sse41, kSse41, avs::kChromaPlane);
BENCHMARK_CAPTURE(BM_LumaMacroblock, strong_plain, kPlain, 2);
BENCHMARK_CAPTURE(BM_LumaMacroblock, strong_sse2, kSse2, 2);
BENCHMARK_CAPTURE(BM_LumaMacroblock, strong_avx2, kAvx2, 2);
BENCHMARK_CAPTURE(BM_LumaMacroblock, normal_plain, kPlain, 1);
BENCHMARK_CAPTURE(BM_LumaMacroblock, normal_sse2, kSse2, 1);
BENCHMARK_CAPTURE(BM_LumaMacroblock, normal_avx2, kAvx2, 1);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, strong_plain, kPlain, 2);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, strong_sse2, kSse2, 2);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, strong_avx2, kAvx2, 2);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, normal_plain, kPlain, 1);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, normal_sse2, kSse2, 1);
BENCHMARK_CAPTURE(BM_ChromaMacroblock, normal_avx2, kAvx2, 1);

}  // namespace

BENCHMARK_MAIN();
