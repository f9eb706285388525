// Times every McLumaAdd slot (with residual) and the chroma slots at each
// kernel level, so a variant's speed-up is a measured number.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/cpu_features.h"
#include "platform/kernel_table.h"

namespace {

struct Inputs {
    std::vector<uint8_t> ref;
    std::vector<uint8_t> dst;
    alignas(16) int16_t residual[64];
    static constexpr int kPitch = 64;

    Inputs() : ref(kPitch * kPitch), dst(kPitch * kPitch) {
        std::mt19937 rng(1);
        for (uint8_t& s : ref) s = static_cast<uint8_t>(rng());
        for (int16_t& r : residual) r = static_cast<int16_t>(int(rng() % 64) - 32);
    }
    const uint8_t* At() const { return ref.data() + 16 * kPitch + 16; }
};

avs::KernelTable Table(uint32_t features) {
    avs::KernelTable table{};
    avs::InstallMcKernels(table, features);
    return table;
}

void LumaAdd(benchmark::State& state, uint32_t features) {
    const avs::KernelTable table = Table(features);
    const int fx = static_cast<int>(state.range(0)), fy = static_cast<int>(state.range(1));
    Inputs in;
    for (auto _ : state) {
        table.McLumaAdd[fx][fy](in.dst.data(), Inputs::kPitch, in.At(), Inputs::kPitch,
                                in.residual);
        benchmark::ClobberMemory();
    }
}

void Chroma(benchmark::State& state, uint32_t features) {
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

void Fractions(benchmark::internal::Benchmark* b) {
    for (int fx = 0; fx < 4; ++fx) {
        for (int fy = 0; fy < 4; ++fy) b->Args({fx, fy});
    }
}

BENCHMARK_CAPTURE(LumaAdd, plain, avs::cpu::kAlways)->Apply(Fractions);
BENCHMARK_CAPTURE(LumaAdd, sse2, avs::cpu::kAlways | avs::cpu::kSse2)->Apply(Fractions);
BENCHMARK_CAPTURE(Chroma, plain, avs::cpu::kAlways);
BENCHMARK_CAPTURE(Chroma, sse2, avs::cpu::kAlways | avs::cpu::kSse2);

}  // namespace

BENCHMARK_MAIN();
