// What a picture decoded on several threads shares between the thread that
// parses it and the threads that reconstruct and filter its macroblock rows:
// each row's progress, and every macroblock's coded blocks, which wait there
// for their reconstruction. The stream keeps one and reuses it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "decode/macroblock.h"
#include "decode/residual.h"

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

// What the pipeline keeps of one parsed macroblock: where its coded blocks
// are, and what its reconstruction needs besides them.
struct ParsedResidual {
    uint32_t first;  // the first of its coded blocks in the pipeline's store
    uint8_t coded;   // the blocks stored (cbp bit layout), in that order
    uint8_t dcOnly;
    uint32_t sliceFirstRow;
};

// One coded 8x8 block of coefficients.
struct alignas(64) CoefficientBlock {
    int16_t c[64];
};

class RowPipeline {
  public:
    // Readies the pipeline for a picture of mbWidth x mbHeight macroblocks:
    // zero progress, nothing stored. False when memory runs out.
    bool Prepare(uint32_t mbWidth, uint32_t mbHeight);

    // Room for every macroblock with all its blocks coded: the parser never
    // waits for room, so it never waits for a reconstructing thread that the
    // system has not run yet. Only the coded blocks travel, packed one after
    // the other, so what the parser writes and the reconstructing threads
    // read stays small; the store is not zeroed, only the blocks written are
    // ever read.
    //
    // Keep stores macroblock n's coded blocks from the parser's residual and
    // zeroes them there, leaving it as the next Parse needs it. Parser only.
    void Keep(uint32_t n, MacroblockResidual& residual, uint32_t cbp, uint32_t sliceFirstRow) {
        ParsedResidual& entry = entries_[n];
        entry.first = stored_;
        entry.coded = static_cast<uint8_t>(cbp);
        entry.dcOnly = static_cast<uint8_t>(residual.dcOnly & cbp);
        entry.sliceFirstRow = sliceFirstRow;
        residual.dcOnly = 0;
        for (uint32_t k = 0; k < 6; ++k) {
            if (cbp & (1u << k)) {
                std::memcpy(blocks_[stored_++].c, residual.Block(k), sizeof(CoefficientBlock));
            }
        }
        ClearCodedResidual(residual, cbp);
    }

    // Copies macroblock n's coded blocks into `residual`, whose blocks are
    // zero; returns the blocks copied (ClearCodedResidual's cbp afterwards).
    uint32_t Restore(uint32_t n, MacroblockResidual& residual) const {
        const ParsedResidual& entry = entries_[n];
        const CoefficientBlock* stored = blocks_.get() + entry.first;
        residual.dcOnly = entry.dcOnly;
        residual.sliceFirstRow = entry.sliceFirstRow;
        for (uint32_t k = 0; k < 6; ++k) {
            if (entry.coded & (1u << k)) {
                std::memcpy(residual.Block(k), (stored++)->c, sizeof(CoefficientBlock));
            }
        }
        return entry.coded;
    }

    RowProgress& Row(uint32_t mbY) { return rows_[mbY]; }

    std::atomic<uint32_t> nextRow{0};      // the next row a thread takes to reconstruct
    std::atomic<uint32_t> parsedTotal{0};  // final once the rows are closed
    ProgressSignal signal;

  private:
    std::unique_ptr<ParsedResidual[]> entries_;
    std::unique_ptr<CoefficientBlock[]> blocks_;
    std::unique_ptr<RowProgress[]> rows_;
    uint32_t capacity_ = 0;  // macroblocks
    uint32_t height_ = 0;
    uint32_t stored_ = 0;  // blocks of this picture so far
};

}  // namespace avs
