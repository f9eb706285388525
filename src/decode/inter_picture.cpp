#include "decode/inter_picture.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/intra_macroblock.h"
#include "decode/intra_prediction.h"

namespace avs {

void BeginInterMacroblock(MacroblockInfo& mb, const SliceState& slice) {
    mb = MacroblockInfo{};
    mb.qp = slice.qp;
    mb.sliceNumber = slice.number;
    for (int32_t& mode : mb.lumaPredMode) mode = kLumaDc;
}

void DecodeIntraMacroblock(BitReader& br, const DecoderContext& ctx, DecodedFrame& frame,
                           uint32_t mbX, uint32_t mbY, SliceState& slice, uint32_t cbpIndex,
                           MacroblockInfo& mb, MacroblockBuffers& buffers) {
    ReadIntraModes(br, frame, mbX, mbY, slice.firstRow, ctx.sequence.chroma_format, mb);
    mb.cbp = kCbpMap[cbpIndex < 64 ? cbpIndex : 0][0];
    ReadQpAndCoefficients(br, ctx.picture, slice, true, mb, buffers);
    InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
    ReconstructIntraMacroblock(frame, mbX, mbY, slice.firstRow, mb, buffers);
}

}  // namespace avs
