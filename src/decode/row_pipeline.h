// What a picture decoded on several threads shares between the thread that
// parses it and the threads that reconstruct and filter its macroblock rows:
// each row's progress, and every macroblock's residual, which waits there
// for its reconstruction. The stream keeps one and reuses it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "decode/macroblock.h"

namespace avs {

// The progress of one macroblock row, each count on its own cache line: the
// parsing thread, the row's thread and the next row's write them.
struct RowProgress {
    // Macroblocks parsed; kRowClosed once parsing has ended (the picture's
    // parsedTotal then tells which macroblocks were reached).
    alignas(64) std::atomic<uint32_t> parsed{0};
    alignas(64) std::atomic<uint32_t> reconstructed{0};  // macroblocks 0 .. n-1 written
    alignas(64) std::atomic<uint32_t> filtered{0};       // macroblocks 0 .. n-1 filtered
};

inline constexpr uint32_t kRowClosed = UINT32_MAX;

// Wakes the threads that sleep until a count of the pipeline's reaches a
// value. Publishing a count costs a store while nobody sleeps.
class ProgressSignal {
  public:
    // Stores a new count and wakes the sleepers, if any, to look at it.
    void Publish(std::atomic<uint32_t>& counter, uint32_t value);
    // Returns once `counter` reaches `needed`. When it has not yet, waits
    // until it reaches `wanted` (at most the count's final value): threads
    // that follow each other closely then meet every few macroblocks, not at
    // every one. The other thread is mostly a few macroblocks ahead, so
    // spinning comes before sleeping.
    void WaitUntilAtLeast(const std::atomic<uint32_t>& counter, uint32_t needed, uint32_t wanted);

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<uint32_t> sleepers_{0};
};

// How far ahead of what it needs a waiting thread lets the other get.
inline constexpr uint32_t kWaitSlack = 8;

class RowPipeline {
  public:
    // Readies the pipeline for a picture of mbWidth x mbHeight macroblocks:
    // zero progress, zero residuals. False when memory runs out.
    bool Prepare(uint32_t mbWidth, uint32_t mbHeight);

    // A residual for every macroblock: the parser never waits for a slot, so
    // it never waits for a reconstructing thread that the system has not
    // run yet.
    MacroblockResidual& Slot(uint32_t mbY, uint32_t mbX) { return slots_[mbY * width_ + mbX]; }
    RowProgress& Row(uint32_t mbY) { return rows_[mbY]; }

    // A parse that failed left coefficients in a slot that no
    // reconstruction cleared: the next Prepare zeroes every slot.
    void MarkDirty() { dirty_ = true; }

    std::atomic<uint32_t> nextRow{0};      // the next row a thread takes to reconstruct
    std::atomic<uint32_t> parsedTotal{0};  // final once the rows are closed
    ProgressSignal signal;

  private:
    std::unique_ptr<MacroblockResidual[]> slots_;
    std::unique_ptr<RowProgress[]> rows_;
    uint32_t width_ = 0;
    uint32_t slotRows_ = 0;
    uint32_t height_ = 0;
    bool dirty_ = false;
};

}  // namespace avs
