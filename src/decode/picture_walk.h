// The macroblock walk every picture type shares: slices at the start of
// macroblock rows, each macroblock parsed and then reconstructed, data that
// ends early, and the loop filter a row behind.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/inter_picture.h"
#include "decode/loop_filter.h"
#include "decode/macroblock.h"
#include "decode/motion_compensation.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/slice.h"

namespace avs {

// What reconstructing a macroblock needs besides its record and residual.
struct ReconstructionScratch {
    IntraPrediction intra;
    ReferencePrefetcher prefetch[2];  // one per reference
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
bool WalkPicture(PictureState& pic, BitReader& br, Layer& layer) {
    DecodedFrame& frame = pic.frame;
    SliceState& slice = pic.slice;
    SkipRun skipRun;
    MacroblockResidual residual{};
    ReconstructionScratch scratch{};
    const uint32_t total = frame.mbWidth * frame.mbHeight;
    uint32_t filtered = 0;  // rows above this one are filtered
    for (uint32_t n = 0; n < total; ++n) {
        const uint32_t mbX = n % frame.mbWidth;
        const uint32_t mbY = n / frame.mbWidth;
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
            FillUnreachedMacroblocks(frame, Layer::kType, n + 1, mb.qp, slice.number);
            break;
        }
        if (mbX + 1 == frame.mbWidth && mbY > 0) {
            FilterRows(frame, pic.header, mbY - 1, mbY);
            filtered = mbY;
        }
    }
    FilterRows(frame, pic.header, filtered, frame.mbHeight);
    return true;
}

}  // namespace avs
