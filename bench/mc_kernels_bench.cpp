// Times the motion-compensation slots at each kernel level, so a variant's
// speed-up is a measured number: every luma fraction of both sizes (plain
// with residual, averaged without, as B macroblocks mostly are) and the
// chroma slots (8x8 and 4x4 in one iteration, from one reference or two).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"

namespace {

constexpr uint32_t kPlain = avs::cpu::kAlways;
constexpr uint32_t kSse2 = kPlain | avs::cpu::kSse2;
constexpr uint32_t kSse41 = kSse2 | avs::cpu::kSse41;
constexpr uint32_t kAvx2 = kSse41 | avs::cpu::kAvx2;
constexpr uint32_t kAvx512 = kAvx2 | avs::cpu::kAvx512;

struct Inputs {
    std::vector<uint8_t> ref;
    std::vector<uint8_t> dst;
    alignas(32) int16_t residual[256];
    alignas(32) uint8_t pred[256];
    static constexpr int kPitch = 64;

    Inputs() : ref(kPitch * kPitch), dst(kPitch * kPitch) {
        std::mt19937 rng(1);
        for (uint8_t& s : ref) s = static_cast<uint8_t>(rng());
        for (int16_t& r : residual) r = static_cast<int16_t>(int(rng() % 64) - 32);
        for (uint8_t& p : pred) p = static_cast<uint8_t>(rng());
    }
    const uint8_t* At() const { return ref.data() + 16 * kPitch + 16; }
};

// False (and the benchmark skipped) when the processor cannot run the level.
bool Runnable(benchmark::State& state, uint32_t features) {
    if ((avs::DetectCpuFeatures() & features) == features) return true;
    state.SkipWithError("level not supported here");
    return false;
}

avs::KernelTable Table(uint32_t features) {
    avs::KernelTable table{};
    avs::InstallMcKernels(table, features);
    return table;
}

// Args: size (kLuma8x8 or kLuma16x16), fx, fy.
void LumaAdd(benchmark::State& state, uint32_t features) {
    if (!Runnable(state, features)) return;
    const avs::KernelTable table = Table(features);
    const auto size = state.range(0), fx = state.range(1), fy = state.range(2);
    Inputs in;
    for (auto _ : state) {
        table.McLumaAdd[size][fx][fy](in.dst.data(), Inputs::kPitch, in.At(), Inputs::kPitch,
                                      in.residual);
        benchmark::ClobberMemory();
    }
}

void LumaAvg(benchmark::State& state, uint32_t features) {
    if (!Runnable(state, features)) return;
    const avs::KernelTable table = Table(features);
    const auto size = state.range(0), fx = state.range(1), fy = state.range(2);
    Inputs in;
    for (auto _ : state) {
        table.McLumaAvgAdd[size][fx][fy](in.dst.data(), Inputs::kPitch, in.At(), Inputs::kPitch,
                                         in.pred, nullptr);
        benchmark::ClobberMemory();
    }
}

void Chroma(benchmark::State& state, uint32_t features) {
    if (!Runnable(state, features)) return;
    const avs::KernelTable table = Table(features);
    Inputs in;
    for (auto _ : state) {
        table.McChroma8x8(in.dst.data(), Inputs::kPitch, in.At(), Inputs::kPitch, in.residual, 3,
                          5);
        table.McChroma4x4(in.dst.data(), Inputs::kPitch, in.At(), Inputs::kPitch, in.residual, 3,
                          5);
        benchmark::ClobberMemory();
    }
}

void ChromaBi(benchmark::State& state, uint32_t features) {
    if (!Runnable(state, features)) return;
    const avs::KernelTable table = Table(features);
    Inputs in;
    for (auto _ : state) {
        table.McChromaBi8x8(in.dst.data(), Inputs::kPitch, in.At(), in.At() + 3, Inputs::kPitch,
                            in.residual, 3, 5, 6, 1);
        table.McChromaBi4x4(in.dst.data(), Inputs::kPitch, in.At(), in.At() + 3, Inputs::kPitch,
                            in.residual, 3, 5, 6, 1);
        benchmark::ClobberMemory();
    }
}

void Fractions(benchmark::internal::Benchmark* b) {
    for (int size = 0; size < avs::kLumaSizes; ++size) {
        for (int fx = 0; fx < 4; ++fx) {
            for (int fy = 0; fy < 4; ++fy) b->Args({size, fx, fy});
        }
    }
}

BENCHMARK_CAPTURE(LumaAdd, plain, kPlain)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAdd, sse2, kSse2)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAdd, avx2, kAvx2)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAdd, avx512, kAvx512)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAvg, plain, kPlain)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAvg, sse2, kSse2)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAvg, avx2, kAvx2)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAvg, avx512, kAvx512)->Apply(Fractions);
BENCHMARK_CAPTURE(Chroma, plain, kPlain);
BENCHMARK_CAPTURE(Chroma, sse2, kSse2);
BENCHMARK_CAPTURE(Chroma, sse41, kSse41);
BENCHMARK_CAPTURE(Chroma, avx2, kAvx2);
BENCHMARK_CAPTURE(Chroma, avx512, kAvx512);
BENCHMARK_CAPTURE(ChromaBi, plain, kPlain);
BENCHMARK_CAPTURE(ChromaBi, sse2, kSse2);
BENCHMARK_CAPTURE(ChromaBi, sse41, kSse41);
BENCHMARK_CAPTURE(ChromaBi, avx2, kAvx2);
BENCHMARK_CAPTURE(ChromaBi, avx512, kAvx512);

}  // namespace

BENCHMARK_MAIN();
