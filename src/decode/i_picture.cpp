#include "decode/intra_macroblock.h"
#include "decode/loop_filter.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/slice.h"

namespace avs {
namespace {

// Decodes the macroblocks of row mbY. Returns false when the unit's data ran
// out, after filling the macroblocks it did not reach.
bool DecodeRow(PictureState& pic, BitReader& br, uint32_t mbY) {
    DecodedFrame& frame = pic.frame;
    MacroblockBuffers& buffers = pic.buffers;
    MacroblockInfo* row = frame.macroblocks + mbY * frame.mbWidth;
    for (uint32_t mbX = 0; mbX < frame.mbWidth; ++mbX) {
        MacroblockInfo& mb = row[mbX];
        DecodeIMacroblock(pic, br, mbX, mbY, mb);
        InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
        ReconstructIntraMacroblock(frame, mbX, mbY, pic.slice.firstRow, mb, buffers);
        ClearCodedResidual(buffers, static_cast<uint32_t>(mb.cbp));
        if (PastUnitEnd(br)) {
            FillUnreachedMacroblocks(frame, PictureType::I, mbY * frame.mbWidth + mbX + 1, mb.qp,
                                     pic.slice.number);
            return false;
        }
    }
    return true;
}

}  // namespace

void DecodeIPicture(PictureState& pic, BitReader& br) {
    DecodedFrame& frame = pic.frame;
    uint32_t filteredRows = 0;
    for (uint32_t mbY = 0; mbY < frame.mbHeight; ++mbY) {
        // The loop filter trails decoding by a row, while the row's samples
        // are still in the cache.
        if (mbY >= 2) {
            FilterRows(frame, pic.header, filteredRows, mbY - 1);
            filteredRows = mbY - 1;
        }
        StartSliceAtRow(br, pic.sequence, pic.header, frame, mbY, pic.slice);
        if (!DecodeRow(pic, br, mbY)) break;
    }
    FilterRows(frame, pic.header, filteredRows, frame.mbHeight);
}

}  // namespace avs
