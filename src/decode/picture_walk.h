// The macroblock walk every picture type shares: slices at the start of
// macroblock rows, each macroblock parsed and then reconstructed, data that
// ends early, and the loop filter a row behind.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/inter_picture.h"
#include "decode/loop_filter.h"
#include "decode/macroblock.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/row_pipeline.h"
#include "decode/slice.h"
#include "platform/worker_team.h"

namespace avs {

// What reconstructing a macroblock needs besides its record and residual.
struct ReconstructionScratch {
    IntraPrediction intra;
};

// Walks the macroblocks of the picture in raster order. `Layer` provides
//   static constexpr PictureType kType;
//   bool Parse(BitReader&, uint32_t mbX, uint32_t mbY, SkipRun&, MacroblockInfo&,
//              MacroblockResidual&);
//   void Reconstruct(uint32_t mbX, uint32_t mbY, const MacroblockInfo&,
//                    MacroblockResidual&, ReconstructionScratch&) const;
// Parse reads the macroblock's syntax into its record and the zeroed
// residual, and derives its vectors; it touches no sample. Reconstruct
// writes the macroblock's samples from them. A Parse that returns false stops
// the picture at once (it is dropped, partly filtered) and so does the walk.
//
// Filtering lags one macroblock row behind: a row is filtered once the row
// below it is reconstructed, while its samples are still in the caches. That
// is the whole-picture result: intra macroblocks predict from the unfiltered
// row above them, and filtering a row reads and writes only that row and the
// bottom of the row above.
template <typename Layer>
bool WalkPictureOnOneThread(PictureState& pic, BitReader& br, Layer& layer) {
    DecodedFrame& frame = pic.frame;
    SliceState& slice = pic.slice;
    SkipRun skipRun;
    MacroblockResidual residual{};
    ReconstructionScratch scratch{};
    const uint32_t total = frame.mbWidth * frame.mbHeight;
    uint32_t filtered = 0;  // rows above this one are filtered
    // The position is counted along, not divided out of n for every macroblock.
    uint32_t mbX = 0;
    uint32_t mbY = 0;
    for (uint32_t n = 0; n < total; ++n) {
        if (mbX == 0 && StartSliceAtRow(br, pic.sequence, pic.header, frame, mbY, slice)) {
            skipRun.Reset();
        }
        MacroblockInfo& mb = frame.macroblocks[n];
        PrefetchRecord(frame.macroblocks, n + kRecordsAhead, total);
        if (!layer.Parse(br, mbX, mbY, skipRun, mb, residual)) return false;
        residual.sliceFirstRow = slice.firstRow;
        layer.Reconstruct(mbX, mbY, mb, residual, scratch);
        ClearCodedResidual(residual, static_cast<uint32_t>(mb.cbp));
        if (PastUnitEnd(br)) {
            MarkUnreachedMacroblocks(frame, Layer::kType, n + 1, mb.qp, slice.number);
            for (uint32_t m = n + 1; m < total; ++m) {
                FillGreyMacroblock(frame, m % frame.mbWidth, m / frame.mbWidth);
            }
            break;
        }
        if (++mbX < frame.mbWidth) continue;
        if (mbY > 0) {
            FilterRows(frame, pic.header, mbY - 1, mbY);
            filtered = mbY;
        }
        mbX = 0;
        ++mbY;
    }
    FilterRows(frame, pic.header, filtered, frame.mbHeight);
    return true;
}

// The same walk on several threads. This thread parses every macroblock
// into the pipeline while the team's threads, and this one once it is done
// parsing, take rows in turn to reconstruct them, each filtering the row
// above it one macroblock behind. A macroblock is reconstructed once the one
// above and right of it is, and filtered as FilterMacroblocks requires, so
// every thread count gives the pictures of one thread.
template <typename Layer>
class ThreadedWalk {
  public:
    ThreadedWalk(PictureState& pic, Layer& layer, RowPipeline& pipe)
        : pic_(pic), frame_(pic.frame), layer_(layer), pipe_(pipe) {}

    // Parses the picture; false when a macroblock stopped it. Either way
    // every row is closed: macroblocks from parsedTotal on become grey.
    bool Parse(BitReader& br) {
        const uint32_t width = frame_.mbWidth;
        const uint32_t total = width * frame_.mbHeight;
        SliceState& slice = pic_.slice;
        SkipRun skipRun;
        MacroblockResidual residual{};  // hot; the pipeline keeps only the coded blocks
        bool complete = true;
        uint32_t n = 0;
        uint32_t mbX = 0;  // counted along with n
        uint32_t mbY = 0;
        while (n < total) {
            if (mbX == 0 && StartSliceAtRow(br, pic_.sequence, pic_.header, frame_, mbY, slice)) {
                skipRun.Reset();
            }
            MacroblockInfo& mb = frame_.macroblocks[n];
            PrefetchRecord(frame_.macroblocks, n + kRecordsAhead, total);
            if (!layer_.Parse(br, mbX, mbY, skipRun, mb, residual)) {
                // The picture is dropped; its rows are finished as if the
                // data had ended, so that no thread waits for this one.
                complete = false;
                MarkUnreachedMacroblocks(frame_, Layer::kType, n, mb.qp, slice.number);
                break;
            }
            pipe_.Keep(n, residual, static_cast<uint32_t>(mb.cbp), slice.firstRow);
            ++n;
            pipe_.signal.Publish(pipe_.Row(mbY).parsed, mbX + 1);
            if (PastUnitEnd(br)) {
                MarkUnreachedMacroblocks(frame_, Layer::kType, n, mb.qp, slice.number);
                break;
            }
            if (++mbX == width) {
                mbX = 0;
                ++mbY;
            }
        }
        pipe_.parsedTotal.store(n, std::memory_order_release);
        for (uint32_t r = n / width; r < frame_.mbHeight; ++r) {
            pipe_.signal.Publish(pipe_.Row(r).parsed, kRowClosed);
        }
        return complete;
    }

    // Takes rows until none is left.
    void ReconstructRows() {
        const uint32_t width = frame_.mbWidth;
        const uint32_t height = frame_.mbHeight;
        ReconstructionScratch scratch{};
        MacroblockResidual residual{};  // zero between macroblocks
        for (;;) {
            const uint32_t mbY = pipe_.nextRow.fetch_add(1, std::memory_order_relaxed);
            if (mbY >= height) return;
            RowProgress& row = pipe_.Row(mbY);
            uint32_t aboveFiltered = 0;  // macroblocks of the row above filtered so far
            for (uint32_t mbX = 0; mbX < width; ++mbX) {
                pipe_.signal.WaitUntilAtLeast(row.parsed, mbX + 1,
                                              std::min(mbX + 1 + kWaitSlack, width));
                if (mbY > 0) {
                    pipe_.signal.WaitUntilAtLeast(pipe_.Row(mbY - 1).reconstructed,
                                                  std::min(mbX + 2, width),
                                                  std::min(mbX + 2 + kWaitSlack, width));
                }
                Reconstruct(mbX, mbY, row, residual, scratch);
                pipe_.signal.Publish(row.reconstructed, mbX + 1);
                // The row above may be filtered up to the macroblock left of
                // this one, a few at a time.
                if (mbY > 0 && mbX >= aboveFiltered + kFilterBatch) {
                    Filter(aboveFiltered, mbX, mbY - 1);
                    aboveFiltered = mbX;
                }
            }
            if (mbY > 0) Filter(aboveFiltered, width, mbY - 1);
            if (mbY + 1 == height) Filter(0, width, mbY);
        }
    }

    static void ReconstructRowsTask(void* walk) {
        static_cast<ThreadedWalk*>(walk)->ReconstructRows();
    }

  private:
    void Reconstruct(uint32_t mbX, uint32_t mbY, const RowProgress& row,
                     MacroblockResidual& residual, ReconstructionScratch& scratch) {
        const uint32_t n = mbY * frame_.mbWidth + mbX;
        // A closed row's macroblocks beyond the parsed ones were not reached.
        if (row.parsed.load(std::memory_order_acquire) == kRowClosed &&
            n >= pipe_.parsedTotal.load(std::memory_order_acquire)) {
            FillGreyMacroblock(frame_, mbX, mbY);
            return;
        }
        const MacroblockInfo& mb = frame_.macroblocks[n];
        const uint32_t coded = pipe_.Restore(n, residual);
        layer_.Reconstruct(mbX, mbY, mb, residual, scratch);
        ClearCodedResidual(residual, coded);
    }

    // Filters macroblocks xBegin .. xEnd - 1 of row mbY, once the row above
    // is filtered up to the one above and right of the last.
    void Filter(uint32_t xBegin, uint32_t xEnd, uint32_t mbY) {
        if (mbY > 0) {
            const uint32_t width = frame_.mbWidth;
            pipe_.signal.WaitUntilAtLeast(pipe_.Row(mbY - 1).filtered, std::min(xEnd + 1, width),
                                          std::min(xEnd + 1 + kWaitSlack, width));
        }
        FilterMacroblocks(frame_, pic_.header, mbY, xBegin, xEnd);
        pipe_.signal.Publish(pipe_.Row(mbY).filtered, xEnd);
    }

    // Macroblocks filtered in one go: the loop filter's set-up is not paid
    // for every one.
    static constexpr uint32_t kFilterBatch = 4;

    PictureState& pic_;
    DecodedFrame& frame_;
    Layer& layer_;
    RowPipeline& pipe_;
};

// Walks the picture on the threads `pic` offers, or on this one.
template <typename Layer>
bool WalkPicture(PictureState& pic, BitReader& br, Layer& layer) {
    const ParallelDecoding* parallel = pic.parallel;
    if (parallel == nullptr || parallel->team->size() == 0 ||
        !parallel->pipeline->Prepare(pic.frame.mbWidth, pic.frame.mbHeight)) {
        return WalkPictureOnOneThread(pic, br, layer);
    }
    ThreadedWalk<Layer> walk(pic, layer, *parallel->pipeline);
    parallel->team->Start(&ThreadedWalk<Layer>::ReconstructRowsTask, &walk);
    const bool complete = walk.Parse(br);
    walk.ReconstructRows();
    parallel->team->Wait();
    return complete;
}

}  // namespace avs
