// Speed of the reconstruction kernels (transform, block stores, loop-filter
// edges) at each processor level, so that a variant's gain is a number.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/cpu_features.h"
#include "platform/kernel_table.h"

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

// A macroblock's luma edges: two vertical and two horizontal, strong filter.
void BM_LumaEdges(benchmark::State& state, uint32_t features) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 64;
    std::mt19937 rng(2);
    std::vector<uint8_t> plane(kPitch * 48);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(100 + rng() % 6);
    const avs::EdgeThresholds th = {39, 11, 3};
    uint8_t* mb = plane.data() + 16 * kPitch + 16;
    for (auto _ : state) {
        t.FilterLumaEdgeV(mb, kPitch, 2, 2, th);
        t.FilterLumaEdgeV(mb + 8, kPitch, 2, 2, th);
        t.FilterLumaEdgeH(mb, kPitch, 2, 2, th);
        t.FilterLumaEdgeH(mb + 8 * kPitch, kPitch, 2, 2, th);
        benchmark::ClobberMemory();
    }
}

void BM_ChromaEdges(benchmark::State& state, uint32_t features) {
    const KernelTable t = TableFor(features);
    constexpr int kPitch = 32;
    std::mt19937 rng(3);
    std::vector<uint8_t> plane(2 * kPitch * 24);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(100 + rng() % 6);
    const avs::EdgeThresholds th = {39, 11, 3};
    uint8_t* cb = plane.data() + 8 * kPitch + 8;
    uint8_t* cr = cb + 24 * kPitch;
    for (auto _ : state) {
        t.FilterChromaEdgeV(cb, cr, kPitch, 2, 1, th);
        t.FilterChromaEdgeH(cb, cr, kPitch, 1, 2, th);
        benchmark::ClobberMemory();
    }
}

constexpr uint32_t kPlain = 0;
constexpr uint32_t kSse2 = avs::cpu::kSse2;

BENCHMARK_CAPTURE(BM_DequantIdct, plain, kPlain);
BENCHMARK_CAPTURE(BM_DequantIdct, sse2, kSse2);
BENCHMARK_CAPTURE(BM_StoreLumaBlock, plain, kPlain);
BENCHMARK_CAPTURE(BM_StoreLumaBlock, sse2, kSse2);
BENCHMARK_CAPTURE(BM_LumaEdges, plain, kPlain);
BENCHMARK_CAPTURE(BM_LumaEdges, sse2, kSse2);
BENCHMARK_CAPTURE(BM_ChromaEdges, plain, kPlain);
BENCHMARK_CAPTURE(BM_ChromaEdges, sse2, kSse2);

}  // namespace

BENCHMARK_MAIN();
