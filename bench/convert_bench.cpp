// Output conversion of a 1920x1080 picture into each layout: the plain and
// the widest processor-specific kernels, on one thread and on every
// processor. Also what the worker pool costs: starting and stopping it (what
// a pool per picture would pay) against handing a persistent pool one run.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "convert/colour_converter.h"
#include "convert/convert.h"
#include "convert/converter_pool.h"
#include "platform/cpu_features.h"
#include "platform/threads.h"

namespace avs {
namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;

struct Layout {
    const char* name;
    uint32_t fourcc, mode, bitsPerPixel;
};
constexpr Layout kLayouts[] = {{"YV12", AVS_FOURCC_YV12, kModeYv12, 12},
                               {"YUY2", AVS_FOURCC_YUY2, kModeYuy2, 16},
                               {"UYVY", AVS_FOURCC_UYVY, kModeUyvy, 16},
                               {"BGR3", AVS_FOURCC_BGR3, kModeBgr3, 24},
                               {"BGR4", AVS_FOURCC_BGR4, kModeBgr4, 32}};

uint32_t BestFeatures() {
    uint32_t f = cpu::kAlways | cpu::kMmx | cpu::kSseInteger | cpu::kSse;
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("sse2")) f |= cpu::kSse2;
    if (__builtin_cpu_supports("avx2")) f |= cpu::kAvx2;
#endif
    return f;
}

// The picture buffer of a decoded picture: Y, V, U back to back.
const std::vector<uint8_t>& Picture() {
    static const std::vector<uint8_t> picture = [] {
        std::vector<uint8_t> p(size_t{kWidth} * kHeight * 2);
        std::mt19937 rng(1);
        for (uint8_t& b : p) b = static_cast<uint8_t>(rng());
        return p;
    }();
    return picture;
}

// Pixels per second: "px/s=2.1G/s" is 2100 megapixels per second.
void SetRate(benchmark::State& state) {
    const double pixels = double(kWidth) * kHeight * double(state.iterations());
    state.counters["px/s"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsRate, benchmark::Counter::OneK::kIs1000);
}

// Args: layout index, 0 plain / 1 widest variant, 0 one thread / 1 all.
void BM_Convert(benchmark::State& state) {
    const Layout& layout = kLayouts[state.range(0)];
    const bool variant = state.range(1) != 0;
    const bool threads = state.range(2) != 0;
    const std::vector<uint8_t>& picture = Picture();
    const size_t area = size_t{kWidth} * kHeight;
    std::vector<uint8_t> out(area * 4);
    ConverterPool pool(ProcessorCount());

    ColourConverter converter;
    converter.features = variant ? BestFeatures() : cpu::kAlways;
    converter.pool = &pool;
    ConfigureConverter(converter, 0, layout.mode, threads);
    ConversionParams block{};
    block.srcY = picture.data();
    block.srcV = picture.data() + area;
    block.srcU = picture.data() + area + area / 4;
    block.width = kWidth;
    block.rows = kHeight;
    block.srcYPitch = kWidth;
    block.srcUPitch = block.srcVPitch = kWidth / 2;
    block.bitsPerPixel = layout.bitsPerPixel;
    block.dst = out.data();
    block.dstPitch = kWidth * layout.bitsPerPixel / 8;
    if (layout.mode == kModeYv12) {
        block.dstPitch = kWidth;
        block.dstV = out.data() + area;
        block.dstU = out.data() + area + area / 4;
        block.dstUPitch = block.dstVPitch = kWidth / 2;
    }
    for (auto _ : state) {
        ConversionParams run = block;
        RunConversion(converter, run);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(layout.name) + (variant ? " variant" : " plain") +
                   (threads ? " all threads" : " one thread") + " level " +
                   std::to_string(converter.level));
    SetRate(state);
}
BENCHMARK(BM_Convert)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The entry point of request 1 with the default pitch, as a host sees it.
void BM_DeliverToBuffer(benchmark::State& state) {
    const Layout& layout = kLayouts[state.range(0)];
    std::vector<uint8_t> out(size_t{kWidth} * kHeight * 4);
    const int32_t pitch = layout.mode == kModeYv12 ? int32_t{kWidth}
                          : layout.mode == kModeBgr3 || layout.mode == kModeBgr4
                              ? -int32_t(kWidth * layout.bitsPerPixel / 8)
                              : int32_t(kWidth * layout.bitsPerPixel / 8);
    for (auto _ : state) {
        DeliverToBuffer(out.data(), PackedSource(Picture().data(), kWidth, kHeight), layout.fourcc,
                        pitch);
        benchmark::ClobberMemory();
    }
    state.SetLabel(layout.name);
    SetRate(state);
}
BENCHMARK(BM_DeliverToBuffer)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond)->UseRealTime();

void NoBand(const ConversionParams&) {}

ConversionParams EmptyBlock(uint32_t rows) {
    static uint8_t row[16];
    ConversionParams block{};
    block.srcY = block.srcU = block.srcV = row;
    block.dst = row;
    block.rows = rows;
    return block;
}

// What a pool per picture would add to every picture: start the workers,
// run one (empty) band on each, stop and join them.
void BM_PoolStartStop(benchmark::State& state) {
    const BandKernelFn kernel = NoBand;
    const ConversionParams block = EmptyBlock(kHeight);
    for (auto _ : state) {
        ConverterPool pool(ProcessorCount());
        pool.RunBands(block, &kernel, false);
    }
    state.SetLabel(std::to_string(ProcessorCount()) + " workers");
}
BENCHMARK(BM_PoolStartStop)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What a persistent pool adds: wake every worker for an empty band and wait.
void BM_PoolHandOff(benchmark::State& state) {
    const BandKernelFn kernel = NoBand;
    const ConversionParams block = EmptyBlock(kHeight);
    ConverterPool pool(ProcessorCount());
    pool.RunBands(block, &kernel, false);
    for (auto _ : state) pool.RunBands(block, &kernel, false);
    state.SetLabel(std::to_string(ProcessorCount()) + " workers");
}
BENCHMARK(BM_PoolHandOff)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace avs

BENCHMARK_MAIN();
