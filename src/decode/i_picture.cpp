#include "decode/intra_macroblock.h"
#include "decode/loop_filter.h"
#include "decode/pictures.h"
#include "decode/residual.h"
#include "decode/slice.h"

namespace avs {

int DecodeIPicture(DecoderContext& ctx, BitReader& br, DecodedFrame& frame) {
    frame.pictureType = PictureType::I;
    MacroblockBuffers& buffers = ctx.mb;
    SliceState slice;
    ClearResidual(buffers);
    const uint32_t total = frame.mbWidth * frame.mbHeight;
    for (uint32_t n = 0; n < total; ++n) {
        const uint32_t mbX = n % frame.mbWidth;
        const uint32_t mbY = n / frame.mbWidth;
        if (mbX == 0) StartSliceAtRow(br, ctx, frame, mbY, slice);
        MacroblockInfo& mb = frame.macroblocks[n];
        DecodeIMacroblock(br, ctx, frame, mbX, mbY, slice, mb, buffers);
        InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
        ReconstructIntraMacroblock(frame, mbX, mbY, slice.firstRow, mb, buffers);
        ClearCodedResidual(buffers, static_cast<uint32_t>(mb.cbp));
        if (PastUnitEnd(br)) {
            FillUnreachedMacroblocks(frame, n + 1, mb.qp, slice.number);
            break;
        }
    }
    FilterPicture(frame, ctx.picture);
    return 0;
}

}  // namespace avs
