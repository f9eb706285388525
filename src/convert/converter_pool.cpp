#include "convert/converter_pool.h"

#include <algorithm>
#include <new>

namespace avs {
namespace {

void PostCommand(ConversionWorker& worker, uint32_t command) {
    {
        CriticalSectionLock lock(worker.commandLock);
        worker.command = command;
    }
    worker.start.Set();
}

void WorkerMain(void* argument) {
    ConversionWorker& worker = *static_cast<ConversionWorker*>(argument);
    for (;;) {
        worker.start.Wait(kWaitInfinite);
        uint32_t command;
        {
            CriticalSectionLock lock(worker.commandLock);
            command = worker.command;
        }
        if (command == ConversionWorker::kCommandQuit) return;
        if (command == ConversionWorker::kCommandRun) {
            RunBandKernel(*worker.kernel, worker.block);
            worker.done.Set();
        }
    }
}

void StartWorker(ConversionWorker& worker, const ConversionParams& band,
                 const BandKernelFn* kernel) {
    worker.done.Reset();
    worker.block = band;
    worker.kernel = kernel;
    PostCommand(worker, ConversionWorker::kCommandRun);
}

// Moves the cursor down one band of `rows` rows (a multiple of 4).
void AdvanceBand(ConversionParams& cursor, uint32_t rows, bool planar) {
    const auto luma = static_cast<ptrdiff_t>(rows);
    const auto chroma = static_cast<ptrdiff_t>(rows / 2);
    cursor.srcY += luma * cursor.srcYPitch;
    cursor.srcU += chroma * cursor.srcUPitch;
    cursor.srcV += chroma * cursor.srcVPitch;
    cursor.dst += luma * cursor.dstPitch;
    if (planar) {
        cursor.dstU += chroma * cursor.dstUPitch;
        cursor.dstV += chroma * cursor.dstVPitch;
    }
}

}  // namespace

BandPlan PlanBands(uint32_t rows, uint32_t processors) {
    const uint32_t workers = std::min(rows >> 2, processors);
    if (workers == 0) return {0, 0, rows};
    const uint32_t bandHeight = (rows / workers) & ~3u;
    return {workers, bandHeight, rows - bandHeight * workers};
}

void RunBandKernel(BandKernelFn kernel, const ConversionParams& block) noexcept {
    try {
        kernel(block);
    } catch (...) {
        // The band counts as done, as far as the kernel got.
    }
}

ConverterPool::~ConverterPool() {
    DestroyWorkers();
}

void ConverterPool::DestroyWorkers() {
    for (uint32_t i = 0; i < workerCount_; ++i) {
        ConversionWorker& worker = workers_[i];
        PostCommand(worker, ConversionWorker::kCommandQuit);
        worker.thread.Join();
    }
    workers_.reset();
    workerCount_ = 0;
    builtRows_ = 0;
}

bool ConverterPool::BuildPool(uint32_t rows) {
    const BandPlan plan = PlanBands(rows, processors_);
    if (plan.workers != workerCount_) {
        DestroyWorkers();
        workers_.reset(new (std::nothrow) ConversionWorker[plan.workers]);
        if (!workers_) return false;
        for (uint32_t i = 0; i < plan.workers; ++i) {
            if (!workers_[i].thread.Start(WorkerMain, &workers_[i])) {
                workerCount_ = i;  // the ones started are stopped again
                DestroyWorkers();
                return false;
            }
        }
        workerCount_ = plan.workers;
    }
    plan_ = plan;
    builtRows_ = rows;
    return true;
}

void ConverterPool::RunBands(const ConversionParams& block, const BandKernelFn* kernel,
                             bool planar) {
    if (processors_ < 2 || PlanBands(block.rows, processors_).workers == 0) {
        RunBandKernel(*kernel, block);
        return;
    }
    if (block.rows != builtRows_ && !BuildPool(block.rows)) {
        // No threads to be had: the picture is still converted, in one pass.
        RunBandKernel(*kernel, block);
        return;
    }
    cursor_ = block;
    cursor_.rows = plan_.bandHeight;
    for (uint32_t i = 0; i < workerCount_; ++i) {
        StartWorker(workers_[i], cursor_, kernel);
        if (i + 1 < workerCount_ || plan_.remainder != 0) {
            AdvanceBand(cursor_, plan_.bandHeight, planar);
        }
    }
    if (plan_.remainder != 0) {
        cursor_.rows = plan_.remainder;
        RunBandKernel(*kernel, cursor_);
    }
    for (uint32_t i = 0; i < workerCount_; ++i) workers_[i].done.Wait(kWaitInfinite);
}

}  // namespace avs
