#include "decode/intra_macroblock.h"
#include "decode/loop_filter.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/slice.h"

namespace avs {
namespace {

// Decodes the macroblocks of row mbY. Returns false when the unit's data ran
// out, after filling the macroblocks it did not reach.
bool DecodeRow(DecoderContext& ctx, BitReader& br, DecodedFrame& frame, uint32_t mbY,
               SliceState& slice) {
    MacroblockBuffers& buffers = ctx.mb;
    MacroblockInfo* row = frame.macroblocks + mbY * frame.mbWidth;
    for (uint32_t mbX = 0; mbX < frame.mbWidth; ++mbX) {
        MacroblockInfo& mb = row[mbX];
        DecodeIMacroblock(br, ctx, frame, mbX, mbY, slice, mb, buffers);
        InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
        ReconstructIntraMacroblock(frame, mbX, mbY, slice.firstRow, mb, buffers);
        ClearCodedResidual(buffers, static_cast<uint32_t>(mb.cbp));
        if (PastUnitEnd(br)) {
            FillUnreachedMacroblocks(frame, mbY * frame.mbWidth + mbX + 1, mb.qp, slice.number);
            return false;
        }
    }
    return true;
}

}  // namespace

int DecodeIPicture(DecoderContext& ctx, BitReader& br, DecodedFrame& frame) {
    frame.pictureType = PictureType::I;
    SliceState slice(ctx.picture);
    StartPictureBuffers(ctx.mb);
    uint32_t filteredRows = 0;
    for (uint32_t mbY = 0; mbY < frame.mbHeight; ++mbY) {
        // The loop filter trails decoding by a row, while the row's samples
        // are still in the cache.
        if (mbY >= 2) {
            FilterRows(frame, ctx.picture, filteredRows, mbY - 1);
            filteredRows = mbY - 1;
        }
        StartSliceAtRow(br, ctx, frame, mbY, slice);
        if (!DecodeRow(ctx, br, frame, mbY, slice)) break;
    }
    FilterRows(frame, ctx.picture, filteredRows, frame.mbHeight);
    return 0;
}

}  // namespace avs
