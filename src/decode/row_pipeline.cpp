#include "decode/row_pipeline.h"

#include <chrono>
#include <new>
#include <thread>

namespace avs {

bool RowPipeline::Prepare(uint32_t mbWidth, uint32_t mbHeight) {
    const size_t total = size_t{mbWidth} * mbHeight;
    if (total > capacity_ || entries_ == nullptr || blocks_ == nullptr) {
        entries_.reset();
        blocks_.reset();
        // Default-initialised: the pages of blocks never written stay untouched.
        entries_.reset(new (std::nothrow) ParsedResidual[total]);
        blocks_.reset(new (std::nothrow) CoefficientBlock[total * 6]);
        const bool ok = entries_ != nullptr && blocks_ != nullptr;
        capacity_ = ok ? static_cast<uint32_t>(total) : 0;
        if (!ok) return false;
    }
    stored_ = 0;
    if (mbHeight > height_ || rows_ == nullptr) {
        rows_.reset(new (std::nothrow) RowProgress[mbHeight]);
        height_ = rows_ != nullptr ? mbHeight : 0;
        if (rows_ == nullptr) return false;
    }
    for (uint32_t r = 0; r < mbHeight; ++r) {
        rows_[r].parsed.store(0, std::memory_order_relaxed);
        rows_[r].reconstructed.store(0, std::memory_order_relaxed);
        rows_[r].filtered.store(0, std::memory_order_relaxed);
    }
    nextRow.store(0, std::memory_order_relaxed);
    parsedTotal.store(0, std::memory_order_relaxed);
    return true;
}

// Publishing is a plain store and a look at the sleepers, without a fence:
// it happens for every macroblock. A publisher may therefore miss a sleeper
// that is just going to sleep; sleepers look again every kRecheck, so that
// costs at most that long, and it is rare.
void ProgressSignal::Publish(std::atomic<uint32_t>& counter, uint32_t value) {
    counter.store(value, std::memory_order_release);
    if (sleepers_.load(std::memory_order_relaxed) == 0) return;
    std::lock_guard lock(mutex_);
    wake_.notify_all();
}

void ProgressSignal::WaitUntilAtLeast(const std::atomic<uint32_t>& counter, uint32_t needed,
                                      uint32_t wanted) {
    if (counter.load(std::memory_order_acquire) >= needed) return;
    for (int spin = 0; spin < 256; ++spin) {
        if (counter.load(std::memory_order_acquire) >= wanted) return;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    // On a busy machine the thread waited for may be the one waiting for a
    // processor: give it this one a few times before sleeping.
    for (int turn = 0; turn < 64; ++turn) {
        std::this_thread::yield();
        if (counter.load(std::memory_order_acquire) >= wanted) return;
    }
    constexpr auto kRecheck = std::chrono::microseconds(200);
    std::unique_lock lock(mutex_);
    sleepers_.fetch_add(1, std::memory_order_seq_cst);
    while (counter.load(std::memory_order_acquire) < wanted) wake_.wait_for(lock, kRecheck);
    sleepers_.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace avs
