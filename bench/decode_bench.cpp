// Decoding speed through the public interface, in pictures per second, on
// one decoding thread and on one per processor (the benchmark's argument).
// Streams come from the shared conformance and benchmark directories; a
// stream that is absent is reported as skipped.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "avsdec.h"

namespace {

std::vector<uint8_t> LoadStream(const std::string& relative) {
    const std::filesystem::path path = std::filesystem::path(AVSDEC_SHARED_DIR) / relative;
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Feeds the whole stream, fetching every delivered picture as YV12 the way
// a player would, and returns the number of pictures.
int64_t DecodeAll(const std::vector<uint8_t>& stream, uint32_t threads,
                  std::vector<uint8_t>& picture) {
    AVS_Video_stream* s = open_AVS_Video_stream();
    s->Control(s, 0, AVS_SetDecodingThreads, reinterpret_cast<uintptr_t>(&threads));
    int64_t pictures = 0;
    auto fetch = [&] {
        if (s->Control(s, 0, AVS_GetStatusAndDelivery, 0) & AVS_DELIVERED) {
            uint32_t size = 0;
            s->Control(s, 0, AVS_GetFrameSize, reinterpret_cast<uintptr_t>(&size));
            if (picture.size() < size) picture.resize(size);
            s->Control(s, 0, AVS_ConvertPicture, reinterpret_cast<uintptr_t>(picture.data()));
            ++pictures;
        }
    };
    const uint8_t* data = stream.data();
    uint32_t left = static_cast<uint32_t>(stream.size());
    while (left > 0) {
        const uint32_t taken = s->Feed(s, data, left);
        fetch();
        if (taken == 0 || taken > left) break;
        data += taken;
        left -= taken;
    }
    s->Feed(s, nullptr, 0);
    fetch();
    s->Free(s);
    std::free(s);
    return pictures;
}

void BM_Decode(benchmark::State& state, const std::string& relative) {
    const std::vector<uint8_t> stream = LoadStream(relative);
    if (stream.empty()) {
        state.SkipWithError(("stream not found: " + relative).c_str());
        return;
    }
    std::vector<uint8_t> picture;
    int64_t pictures = 0;
    const auto threads = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) pictures += DecodeAll(stream, threads, picture);
    state.counters["pictures/s"] =
        benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}

// One thread, and one per processor.
void Threads(benchmark::internal::Benchmark* b) {
    const unsigned processors = std::thread::hardware_concurrency();
    b->ArgName("threads")->Arg(1);
    if (processors > 1) b->Arg(processors);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK_CAPTURE(BM_Decode, i_1080, std::string("vectors/i_1080.avs"))->Apply(Threads);
// QP 1: long coefficient runs, escapes and large levels.
BENCHMARK_CAPTURE(BM_Decode, i_cif_lowqp, std::string("vectors/i_cif_lowqp.avs"))->Apply(Threads);
BENCHMARK_CAPTURE(BM_Decode, ip_cif_q28, std::string("vectors/ip_cif_q28.avs"))->Apply(Threads);
BENCHMARK_CAPTURE(BM_Decode, bench_sd, std::string("bench/bench_sd.avs"))->Apply(Threads);
BENCHMARK_CAPTURE(BM_Decode, bench_1080p, std::string("bench/bench_1080p.avs"))->Apply(Threads);

}  // namespace

BENCHMARK_MAIN();
