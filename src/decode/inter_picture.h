// What P and B pictures share: the macroblock walk (slices, the skip run,
// data that ends early, the loop filter), the start of every macroblock, the
// QP change with the coefficients, and intra macroblocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/loop_filter.h"
#include "decode/macroblock.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/slice.h"
#include "frames/frame.h"

namespace avs {

// The run of skipped macroblocks. With skip_mode_flag 1 a run length precedes
// every coded macroblock; with 0 every macroblock codes its type, 0 meaning
// skipped and k >= 1 meaning what mb_type k - 1 means beside skip runs.
class SkipRun {
  public:
    static constexpr uint32_t kSkipped = UINT32_MAX;

    // The macroblock's mb_type as coded beside skip runs, or kSkipped.
    uint32_t Next(BitReader& br, uint32_t skipModeFlag) {
        if (skipModeFlag == 0) {
            const uint32_t k = br.ReadUe();
            return k == 0 ? kSkipped : k - 1;
        }
        if (pending_ < 0) pending_ = br.ReadUe();
        if (pending_ > 0) {
            --pending_;
            return kSkipped;
        }
        pending_ = -1;
        return br.ReadUe();
    }

    // Every slice starts without a pending run.
    void Reset() { pending_ = -1; }

  private:
    int64_t pending_ = -1;  // -1: no run read yet
};

// Clears the record of a macroblock of a P or B picture and sets what every
// macroblock has before its syntax: the slice's running QP and its slice.
void BeginInterMacroblock(MacroblockInfo& mb, const SliceState& slice);

// An intra macroblock of a P or B picture, after its type: modes, the coded
// block pattern of row `cbpIndex` of the intra column (row 0 when the index is
// 64 or more), QP and coefficients, then the reconstruction of an I macroblock.
void DecodeIntraMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                           uint32_t cbpIndex, MacroblockInfo& mb);

// Records of the pictures in the queue are cold by the time a later picture
// writes or reads them: they are fetched this many macroblocks ahead.
inline constexpr uint32_t kRecordsAhead = 4;

// Starts fetching the record at `index` (the last one when `index` lies beyond).
inline void PrefetchRecord(const MacroblockInfo* records, uint32_t index, uint32_t count) {
    const char* p = reinterpret_cast<const char*>(records + (index < count ? index : count - 1));
    for (size_t offset = 0; offset < sizeof(MacroblockInfo); offset += 64)
        __builtin_prefetch(p + offset);
    __builtin_prefetch(p + sizeof(MacroblockInfo) - 1);
}

// Walks the macroblocks of a P or B picture in raster order and filters the
// picture. `decode(mbX, mbY, skipRun, record)` parses and reconstructs
// one macroblock from the cleared buffers; false stops the picture at once
// (the picture is dropped, partly filtered) and makes the result false.
//
// Filtering lags one macroblock row behind: a row is filtered once the row
// below it is reconstructed, while its samples are still in the caches. That
// is the whole-picture result: intra macroblocks predict from the unfiltered
// row above them, and filtering a row reads and writes only that row and the
// bottom of the row above.
template <typename DecodeMacroblock>
bool WalkInterPicture(PictureState& pic, PictureType type, BitReader& br,
                      DecodeMacroblock&& decode) {
    DecodedFrame& frame = pic.frame;
    MacroblockBuffers& buffers = pic.buffers;
    SliceState& slice = pic.slice;
    SkipRun skipRun;
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
        if (!decode(mbX, mbY, skipRun, mb)) return false;
        ClearCodedResidual(buffers, static_cast<uint32_t>(mb.cbp));
        if (PastUnitEnd(br)) {
            FillUnreachedMacroblocks(frame, type, n + 1, mb.qp, slice.number);
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
