// Worker threads that convert a picture in horizontal bands beside the
// caller. The pool never looks at pixels: it hands each worker a
// ConversionParams block for its band and calls the band kernel for the rest.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/conversion_params.h"
#include "platform/threads.h"

namespace avs {

// How a conversion of `rows` rows is split: `workers` bands of `bandHeight`
// rows (a multiple of 4, so no chroma row is shared between bands) from the
// top, then `remainder` rows that the caller converts itself. No workers when
// threads would get fewer than four rows each.
struct BandPlan {
    uint32_t workers;
    uint32_t bandHeight;
    uint32_t remainder;
};

BandPlan PlanBands(uint32_t rows, uint32_t processors);

// One worker thread and what it needs to run one band. Each record has its
// own cache lines: the caller writes one while another worker runs.
struct alignas(64) ConversionWorker {
    static constexpr uint32_t kCommandQuit = 1;
    static constexpr uint32_t kCommandRun = 2;

    Thread thread;
    Event done{false, true};    // auto-reset, created signalled
    Event start{false, false};  // auto-reset
    CriticalSection commandLock;
    uint32_t command = 0;  // guarded by commandLock
    // The converter's band-kernel slot: whatever it holds when the band runs.
    const BandKernelFn* kernel = nullptr;
    ConversionParams block{};
};

class ConverterPool {
  public:
    explicit ConverterPool(uint32_t processors) : processors_(processors) {}
    ~ConverterPool();
    ConverterPool(const ConverterPool&) = delete;
    ConverterPool& operator=(const ConverterPool&) = delete;

    // Converts every row of `block` and returns when all are done: the bands
    // of the plan on the workers, the remainder on this thread. `planar` says
    // whether the destination chroma planes move with the bands. The kernel
    // slot must not change until this returns. An exception from a kernel is
    // caught; its band is left as the kernel left it.
    void RunBands(const ConversionParams& block, const BandKernelFn* kernel, bool planar);

    uint32_t processors() const { return processors_; }
    uint32_t workerCount() const { return workerCount_; }

  private:
    // Prepares workers for `rows`; false when they cannot be had.
    bool BuildPool(uint32_t rows);
    void DestroyWorkers();

    uint32_t processors_;
    std::unique_ptr<ConversionWorker[]> workers_;
    uint32_t workerCount_ = 0;
    uint32_t builtRows_ = 0;
    BandPlan plan_{};
    ConversionParams cursor_{};
};

// Calls the kernel on this thread; an exception it throws ends here.
void RunBandKernel(BandKernelFn kernel, const ConversionParams& block) noexcept;

}  // namespace avs
